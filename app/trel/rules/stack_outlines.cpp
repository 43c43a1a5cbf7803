// MoveStackOutlinesToEdges: per stack, the level-set tracker's smoothing and speed values, then
// the image library's edge step on the mask.
#include "stack_outlines.h"

#include "frame_files.h"
#include "label_image.h"
#include "tool_error.h"
#include "voxa/filters.h"
#include "voxa/fls.h"
#include "voxa/outline_edges.h"

namespace trel::tool {

namespace {

// The level-set tracker's smoothing of its 16-bit frames, so that the edges are measured on the
// same values as there.
constexpr double kPreSmoothing = 1.0;

}  // namespace

void MoveStackOutlinesToEdges(const GreyFrames& frames, MaskStore& masks, uint64_t count) {
  LabelImage grey, mask;
  voxa::Image3d<float> speed;
  for (uint64_t t = 0; t < count; ++t) {
    masks.Read(t, mask);
    if (mask.GetSizeZ() <= 1) return;  // every frame of a run has frame 0's size
    const std::string name = frames(t, grey);
    if (!SameSize(grey, mask))
      throw ToolError(kExitDataError,
                      name + " is " + SizeText(grey) + ", but its mask is " + SizeText(mask));
    voxa::GrayGaussIIR(grey, kPreSmoothing);
    voxa::fls::RegionSpeedImage(grey, speed);
    if (voxa::MoveOutlinesToEdges(mask, speed) > 0) masks.Write(t, mask);
  }
}

void MoveStackOutlinesToEdges(const std::filesystem::path& in, const std::filesystem::path& out,
                              uint64_t frames) {
  const FrameFiles inputs(in, "t");
  FolderMasks masks(out);
  const GreyFrames read = [&](uint64_t t, LabelImage& grey) {
    ReadLabelImage(inputs.Name(t), grey, ImageKind::kFrame);
    return inputs.Name(t).string();
  };
  MoveStackOutlinesToEdges(read, masks, frames);
}

}  // namespace trel::tool
