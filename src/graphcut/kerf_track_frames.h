// The frame loop of graph-cut tracking for N-dimensional grids (N = 2 for images, 3 for stacks):
// load, normalise, initial segmentation, graph cut (two-phase on frame 0, label-preserving on
// later frames), clean-up and save, frame after frame, into the caller's label frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/frame_sequence.h"
#include "labelframe/label_frame.h"
#include "trel/progress.h"

namespace trel {

template <size_t N>
void KerfTrackFrames(const FrameSequence& sequence, LabelFrame& frame, uint64_t count,
                     float fg_lambda, float bg_lambda, uint64_t max_iter,
                     const ProgressCallback& progress = {});

}  // namespace trel
