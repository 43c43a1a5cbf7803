// KerfLabTracking: prepares a graph-cut tracking run (frame files, label frame, the weights of
// the length-normalised model) and hands the frame loop to the 2D or 3D grid.
#include "trel/kerf_lab_tracking.h"

#include <cmath>

#include "foundation/frame_sequence.h"
#include "graphcut/kerf_track_frames.h"
#include "labelframe/label_frame.h"
#include "trel/error.h"

namespace trel {

void KerfTrack(const Frames& sequence, uint64_t num_slices, uint64_t num_frames,
               const GraphCutParameters& p, const ProgressCallback& progress) {
  // The length weight divides both region weights: zero, negative or non-finite would give
  // infinite or sign-flipped weights.
  if (!(std::isfinite(p.curv_weight) && p.curv_weight > 0))
    throw Error("Curvature weight must be a finite positive number! (curv_weight=%g)",
                static_cast<double>(p.curv_weight));
  // This path writes no lineage, but an earlier run's beside new masks would pass for one.
  sequence.ForgetEarlierLineage();
  constexpr uint64_t kNoBorder = 0;
  LabelFrame frame(DimensionOf(num_slices), p.min_size, p.overlap, kNoBorder);
  const float fg_lambda = p.fg_weight / p.curv_weight;
  const float bg_lambda = p.bg_weight / p.curv_weight;
  if (DimensionOf(num_slices) == Dimension::k2D)
    KerfTrackFrames<2>(sequence, frame, num_frames, fg_lambda, bg_lambda, p.max_iter, progress);
  else
    KerfTrackFrames<3>(sequence, frame, num_frames, fg_lambda, bg_lambda, p.max_iter, progress);
}

void KerfLabTracking(const char* in_folder, const char* out_folder, uint64_t num_slices,
                     uint64_t num_frames, float curv_weight, float fg_weight, float bg_weight,
                     uint64_t max_iter, uint64_t min_size, uint64_t overlap,
                     const ProgressCallback& progress) {
  const FrameSequence sequence{in_folder, out_folder, num_slices, num_frames};
  KerfTrack(sequence, num_slices, num_frames,
            {curv_weight, fg_weight, bg_weight, max_iter, min_size, overlap}, progress);
}

void KerfLabTracking(const char* in_folder, const char* out_folder, uint64_t num_slices,
                     uint64_t num_frames, float curv_weight, float fg_weight, float bg_weight,
                     uint64_t max_iter, uint64_t min_size, uint64_t overlap) {
  KerfLabTracking(in_folder, out_folder, num_slices, num_frames, curv_weight, fg_weight, bg_weight,
                  max_iter, min_size, overlap, ProgressCallback());
}

}  // namespace trel
