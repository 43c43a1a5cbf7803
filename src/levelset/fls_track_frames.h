// The level-set tracking loop on any Frames (a folder, arrays in memory): frame 0 by a two-phase
// level set, every later frame by a multi-label level set started from the previous labels plus
// the objects that newly appeared; the lineage stored at the end.
#pragma once

#include <cstdint>

#include "foundation/frames.h"
#include "trel/progress.h"

namespace trel {

struct LevelSetParameters {
  float curv_weight, fg_weight, bg_weight;
  uint64_t max_iter, min_size, overlap, border;
  float bg_factor;
  // Threads of the run: the image routines share out their work, and with more than one the next
  // frame is prepared and the last mask written beside the evolution. The library's entries use
  // one.
  unsigned threads = 1;
};

void FlsTrackFrames(const Frames& frames, uint64_t num_slices, uint64_t num_frames,
                    const LevelSetParameters& parameters, const ProgressCallback& progress = {});

}  // namespace trel
