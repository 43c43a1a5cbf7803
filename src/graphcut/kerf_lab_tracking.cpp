// KerfLabTracking: prepares a graph-cut tracking run (frame files, label frame, the weights of
// the length-normalised model) and hands the frame loop to the 2D or 3D grid.
#include "trel/kerf_lab_tracking.h"

#include <cmath>

#include "foundation/frame_sequence.h"
#include "graphcut/kerf_track_frames.h"
#include "labelframe/label_frame.h"
#include "levelset/track_file.h"
#include "trel/error.h"

namespace trel {

void KerfLabTracking(const char* in_folder, const char* out_folder, uint64_t num_slices,
                     uint64_t num_frames, float curv_weight, float fg_weight, float bg_weight,
                     uint64_t max_iter, uint64_t min_size, uint64_t overlap,
                     const ProgressCallback& progress) {
  // The length weight divides both region weights: zero, negative or non-finite would give
  // infinite or sign-flipped weights.
  if (!(std::isfinite(curv_weight) && curv_weight > 0))
    throw Error("Curvature weight must be a finite positive number! (curv_weight=%g)",
                static_cast<double>(curv_weight));
  const FrameSequence sequence{in_folder, out_folder, num_slices, num_frames};
  // This path writes no lineage, but an earlier run's beside new masks would pass for one.
  RemoveEarlierTrackFile(sequence);
  constexpr uint64_t kNoBorder = 0;
  LabelFrame frame(DimensionOf(num_slices), min_size, overlap, kNoBorder);
  const float fg_lambda = fg_weight / curv_weight;
  const float bg_lambda = bg_weight / curv_weight;
  if (DimensionOf(num_slices) == Dimension::k2D)
    KerfTrackFrames<2>(sequence, frame, num_frames, fg_lambda, bg_lambda, max_iter, progress);
  else
    KerfTrackFrames<3>(sequence, frame, num_frames, fg_lambda, bg_lambda, max_iter, progress);
}

void KerfLabTracking(const char* in_folder, const char* out_folder, uint64_t num_slices,
                     uint64_t num_frames, float curv_weight, float fg_weight, float bg_weight,
                     uint64_t max_iter, uint64_t min_size, uint64_t overlap) {
  KerfLabTracking(in_folder, out_folder, num_slices, num_frames, curv_weight, fg_weight, bg_weight,
                  max_iter, min_size, overlap, ProgressCallback());
}

}  // namespace trel
