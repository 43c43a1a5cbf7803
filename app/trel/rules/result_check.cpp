// Folder check: reads every mask once, records its bit depth, size and labels, and runs the
// rules; the ground truth is read only for its frame count and the size of one image.
#include "result_check.h"

#include <algorithm>
#include <string>

#include "frame_files.h"
#include "label_image.h"
#include "overlap_table.h"
#include "tool_error.h"
#include "track_file.h"

namespace trel::tool {

namespace {

constexpr int kRequiredBits = 16;

struct GroundTruthFrames {
  uint64_t count = 0;
  bool whole = false;  // markers cover the sequence; segmentations may annotate only some frames
};

// The frames and one image of the ground truth (the first marker, else the first full
// segmentation); the image is empty when there is none.
GroundTruthFrames ReadGroundTruthShape(const std::filesystem::path& gt, LabelImage& image) {
  std::error_code ignored;
  if (!std::filesystem::is_directory(gt, ignored))
    throw ToolError(kExitNoInput, "ground-truth folder " + gt.string() + " does not exist");
  const GroundTruthLayout layout(gt);
  uint64_t frames = layout.markers.CountFrames();
  if (frames > 0) {
    ReadGroundTruth([&] { return ReadLabelImage(layout.markers.Name(0), image); });
    return {frames, true};
  }
  for (const SegFile& f : ListSegFiles(layout.seg_folder)) {
    frames = std::max(frames, f.frame + 1);
    if (!f.single_slice && image.IsEmpty())
      ReadGroundTruth([&] { return ReadLabelImage(f.path, image); });
  }
  if (frames == 0)
    throw ToolError(kExitNoInput, "ground truth: " + gt.string() +
                                      " holds neither TRA/man_track000.tif nor SEG/man_seg*.tif");
  return {frames, false};
}

}  // namespace

std::vector<Violation> CheckResultFolder(const std::filesystem::path& res,
                                         const std::filesystem::path& gt, Lineage lineage) {
  std::error_code ignored;
  if (!std::filesystem::is_directory(res, ignored))
    throw ToolError(kExitNoInput, "result folder " + res.string() + " does not exist");
  const ResultLayout layout(res);
  const uint64_t frames = layout.masks.CountFrames();
  if (frames == 0)
    throw ToolError(kExitNoInput,
                    res.string() + " holds no " + layout.masks.Name(0).filename().string());
  std::vector<Violation> gaps;
  if (const std::optional<uint64_t> last = layout.masks.LastFrame(); last && *last >= frames)
    gaps.push_back({static_cast<int64_t>(frames), 0,
                    "mask is missing, but masks up to " +
                        layout.masks.Name(*last).filename().string() + " are there"});
  const bool with_tracks =
      lineage == Lineage::kRequired || std::filesystem::exists(layout.track_file);
  const std::vector<TrackLine> tracks =
      with_tracks ? ReadTrackFile(layout.track_file) : std::vector<TrackLine>();
  std::vector<Violation> violations;
  if (with_tracks) violations = CheckTrackTable(tracks, frames);
  violations.insert(violations.end(), gaps.begin(), gaps.end());

  LabelImage gt_image;
  const GroundTruthFrames gt_frames =
      gt.empty() ? GroundTruthFrames() : ReadGroundTruthShape(gt, gt_image);
  const PresenceRule presence(tracks);
  OverlapCounter counter;
  LabelImage first, mask;
  for (uint64_t t = 0; t < frames; ++t) {
    LabelImage& image = t == 0 ? first : mask;
    const int bits = ReadLabelImage(layout.masks.Name(t), image);
    const auto frame = static_cast<int64_t>(t);
    if (bits != kRequiredBits)
      violations.push_back({frame, 0, "mask is " + std::to_string(bits) + "-bit, not 16-bit"});
    if (t > 0 && !SameSize(image, first))
      violations.push_back(
          {frame, 0, "mask is " + SizeText(image) + ", frame 0 is " + SizeText(first)});
    if (!gt_image.IsEmpty() && !SameSize(image, gt_image))
      violations.push_back(
          {frame, 0, "mask is " + SizeText(image) + ", the ground truth " + SizeText(gt_image)});
    if (with_tracks)
      presence.Check(t, LabelsOf(counter.CountLabels(image.begin(), image.GetImageSize())),
                     violations);
  }
  if (!gt.empty() && (gt_frames.whole ? gt_frames.count != frames : gt_frames.count > frames))
    violations.push_back({kNoFrame, 0,
                          "the result has " + std::to_string(frames) +
                              " frames, the ground truth " + (gt_frames.whole ? "" : "annotates ") +
                              std::to_string(gt_frames.count)});
  return violations;
}

}  // namespace trel::tool
