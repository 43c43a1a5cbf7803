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

void MoveStackOutlinesToEdges(const std::filesystem::path& in, const std::filesystem::path& out,
                              uint64_t frames) {
  const FrameFiles inputs(in, "t"), masks(out, "mask");
  LabelImage grey, mask;
  voxa::Image3d<float> speed;
  for (uint64_t t = 0; t < frames; ++t) {
    ReadLabelImage(masks.Name(t), mask);
    if (mask.GetSizeZ() <= 1) return;  // every frame of a run has frame 0's size
    ReadLabelImage(inputs.Name(t), grey, ImageKind::kFrame);
    if (!SameSize(grey, mask))
      throw ToolError(kExitDataError, inputs.Name(t).string() + " is " + SizeText(grey) +
                                          ", but its mask is " + SizeText(mask));
    voxa::GrayGaussIIR(grey, kPreSmoothing);
    voxa::fls::RegionSpeedImage(grey, speed);
    if (voxa::MoveOutlinesToEdges(mask, speed) > 0) WriteLabelImage(masks.Name(t), mask);
  }
}

}  // namespace trel::tool
