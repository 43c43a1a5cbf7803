// The frame loop of graph-cut tracking for N-dimensional grids (N = 2 for images, 3 for stacks):
// load, normalise, initial segmentation, graph cut (two-phase on frame 0, label-preserving on
// later frames), clean-up and save, frame after frame, into the caller's label frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/frames.h"
#include "labelframe/label_frame.h"
#include "trel/progress.h"

namespace trel {

template <size_t N>
void KerfTrackFrames(const Frames& sequence, LabelFrame& frame, uint64_t count, float fg_lambda,
                     float bg_lambda, uint64_t max_iter, const ProgressCallback& progress = {});

struct GraphCutParameters {
  float curv_weight, fg_weight, bg_weight;
  uint64_t max_iter, min_size, overlap;
};

// A whole graph-cut run on any Frames (a folder, arrays in memory): checks the weights, drops an
// earlier lineage and runs the frame loop of the grid that fits `num_slices`.
void KerfTrack(const Frames& frames, uint64_t num_slices, uint64_t num_frames,
               const GraphCutParameters& parameters, const ProgressCallback& progress = {});

}  // namespace trel
