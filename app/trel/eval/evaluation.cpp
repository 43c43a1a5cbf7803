// The evaluation pass: frame by frame, the result mask is read once and compared with the
// frame's marker image and with each of its reference segmentations (whole frames, or single
// slices of a stack); only the small per-frame tables are kept for the graph measures.
#include "evaluation.h"

#include <algorithm>
#include <string>
#include <vector>

#include "frame_files.h"
#include "label_image.h"
#include "object_matching.h"
#include "overlap_table.h"
#include "result_check.h"
#include "result_rules.h"
#include "seg_measure.h"
#include "tool_error.h"
#include "track_file.h"

namespace trel::tool {

namespace {

constexpr size_t kViolationsNamed = 3;

void RequireFolder(const std::filesystem::path& folder, const char* what) {
  std::error_code ignored;
  if (!std::filesystem::is_directory(folder, ignored))
    throw ToolError(kExitNoInput,
                    std::string(what) + " folder " + folder.string() + " does not exist");
}

void RequireSameSize(const LabelImage& mask, const std::filesystem::path& mask_file,
                     const LabelImage& reference, const std::filesystem::path& reference_file) {
  if (!SameSize(mask, reference))
    throw ToolError(kExitDataError, mask_file.string() + " is " + SizeText(mask) + " but " +
                                        reference_file.string() + " is " + SizeText(reference));
}

class FrameScorer {
 public:
  FrameScorer(const GroundTruthLayout& gt, const ResultLayout& res, std::vector<SegFile> seg)
      : gt_(gt), res_(res), seg_(std::move(seg)) {}

  // Reads the mask of frame t and scores it; returns the result labels present in it.
  std::vector<uint16_t> Score(uint64_t t, bool with_markers, std::vector<FrameMatching>& frames) {
    const std::filesystem::path mask_file = res_.masks.Name(t);
    ReadLabelImage(mask_file, mask_);
    std::vector<uint16_t> labels;
    if (with_markers) {
      const std::filesystem::path marker_file = gt_.markers.Name(t);
      ReadGroundTruth([&] { return ReadLabelImage(marker_file, reference_); });
      RequireSameSize(mask_, mask_file, reference_, marker_file);
      const OverlapTable table =
          counter_.Count(reference_.begin(), mask_.begin(), mask_.GetImageSize());
      frames.push_back(MatchObjects(table));
      labels = LabelsOf(table.result);
    } else {
      labels = LabelsOf(counter_.CountLabels(mask_.begin(), mask_.GetImageSize()));
    }
    for (; next_seg_ < seg_.size() && seg_[next_seg_].frame == t; ++next_seg_)
      ScoreSegmentation(seg_[next_seg_], mask_file);
    return labels;
  }

  const SegMeasure& seg() const { return seg_measure_; }

 private:
  void ScoreSegmentation(const SegFile& file, const std::filesystem::path& mask_file) {
    ReadGroundTruth([&] { return ReadLabelImage(file.path, reference_); });
    if (!file.single_slice) {
      RequireSameSize(mask_, mask_file, reference_, file.path);
      seg_measure_.Add(counter_.Count(reference_.begin(), mask_.begin(), mask_.GetImageSize()));
      return;
    }
    if (file.slice >= mask_.GetSizeZ() || reference_.GetSizeZ() != 1 ||
        reference_.GetSizeX() != mask_.GetSizeX() || reference_.GetSizeY() != mask_.GetSizeY())
      throw ToolError(kExitDataError, file.path.string() + " (" + SizeText(reference_) +
                                          ", slice " + std::to_string(file.slice) +
                                          ") does not fit " + mask_file.string() + " (" +
                                          SizeText(mask_) + ")");
    mask_.GetSliceZ(slice_, file.slice);
    seg_measure_.Add(counter_.Count(reference_.begin(), slice_.begin(), slice_.GetImageSize()));
  }

  const GroundTruthLayout& gt_;
  const ResultLayout& res_;
  std::vector<SegFile> seg_;
  size_t next_seg_ = 0;
  LabelImage mask_, reference_, slice_;
  OverlapCounter counter_;
  SegMeasure seg_measure_;
};

void RequireMasks(const ResultLayout& res, uint64_t frames) {
  const uint64_t present = res.masks.CountFrames();
  if (present < frames)
    throw ToolError(kExitNoInput, res.masks.Name(present).string() +
                                      " is missing (the ground truth needs masks of frames 0-" +
                                      std::to_string(frames - 1) + ")");
}

// Refuses what `trel validate RES --gt GT` refuses; a result without a lineage file is scored
// on its masks alone.
void RequireValidResult(const std::filesystem::path& res, const std::filesystem::path& gt) {
  const std::vector<Violation> violations = CheckResultFolder(res, gt, Lineage::kOptional);
  if (violations.empty()) return;
  std::string text = "the result in " + res.string() + " breaks " +
                     std::to_string(violations.size()) + " consistency rule(s): ";
  for (size_t k = 0; k < std::min(kViolationsNamed, violations.size()); ++k)
    text += (k ? "; " : "") + FormatViolation(violations[k]);
  throw ToolError(kExitDataError, text + (violations.size() > kViolationsNamed ? "; ..." : "") +
                                      " (trel validate lists them all)");
}

void ScoreTracking(const GroundTruthLayout& gt, const ResultLayout& res,
                   const std::vector<FrameMatching>& frames,
                   const std::vector<std::vector<uint16_t>>& result_labels, Evaluation& e) {
  CountVertexErrors(frames, e.aogm);
  e.det = e.aogm.Det();
  if (!std::filesystem::exists(res.track_file)) return;
  const std::vector<TrackLine> reference_tracks =
      ReadGroundTruth([&] { return ReadTrackFile(gt.track_file); });
  const std::vector<TrackLine> result_tracks = ReadTrackFile(res.track_file);

  std::vector<std::vector<uint16_t>> reference_labels;
  reference_labels.reserve(frames.size());
  for (const FrameMatching& f : frames) reference_labels.push_back(f.reference);
  const Presence reference(reference_labels), result(result_labels);
  CountEdgeErrors(frames, BuildEdges(reference_tracks, reference),
                  BuildEdges(result_tracks, result), e.aogm);
  e.has_tracks = true;
  e.lnk = e.aogm.Lnk();
  e.tra = e.aogm.Tra();
  e.bio = ComputeBioMeasures(frames, {reference_tracks, reference}, {result_tracks, result});
}

std::optional<double> Mean(std::optional<double> a, std::optional<double> b) {
  if (!a || !b) return std::nullopt;
  return (*a + *b) / 2.0;
}

}  // namespace

std::optional<double> Evaluation::OpCsb() const {
  return Mean(seg, det);
}

std::optional<double> Evaluation::OpCtb() const {
  return Mean(seg, tra);
}

Evaluation Evaluate(const std::filesystem::path& gt_folder, const std::filesystem::path& res_folder,
                    ResultCheck check) {
  RequireFolder(gt_folder, "ground-truth");
  RequireFolder(res_folder, "result");
  const GroundTruthLayout gt(gt_folder);
  const ResultLayout res(res_folder);
  std::vector<SegFile> seg_files = ListSegFiles(gt.seg_folder);
  const uint64_t marker_frames = gt.markers.CountFrames();
  if (marker_frames == 0 && seg_files.empty())
    throw ToolError(kExitNoInput, "ground truth: " + gt_folder.string() +
                                      " holds neither TRA/man_track000.tif nor " +
                                      "SEG/man_seg*.tif");
  if (marker_frames > 0 && !std::filesystem::exists(gt.track_file))
    throw ToolError(kExitNoInput,
                    "ground truth: cannot read " + gt.track_file.string() + " (no such file)");

  Evaluation e;
  e.has_markers = marker_frames > 0;
  e.frames = marker_frames;
  for (const SegFile& f : seg_files) e.frames = std::max(e.frames, f.frame + 1);
  RequireMasks(res, e.frames);
  if (check == ResultCheck::kCheck) RequireValidResult(res_folder, gt_folder);

  FrameScorer scorer(gt, res, std::move(seg_files));
  std::vector<FrameMatching> frames;
  std::vector<std::vector<uint16_t>> result_labels;
  for (uint64_t t = 0; t < e.frames; ++t)
    result_labels.push_back(scorer.Score(t, t < marker_frames, frames));

  e.seg = scorer.seg().Value();
  e.seg_objects = scorer.seg().objects();
  e.seg_matched = scorer.seg().matched();
  if (e.has_markers) {
    result_labels.resize(marker_frames);
    ScoreTracking(gt, res, frames, result_labels, e);
  }
  return e;
}

}  // namespace trel::tool
