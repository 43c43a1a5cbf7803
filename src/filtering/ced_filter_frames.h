// The diffusion loop on any Frames (a folder, arrays in memory): load, diffuse and store every
// frame, one after another, each on up to `threads` threads (the library's entries use one).
#pragma once

#include <cstdint>

#include "foundation/frames.h"
#include "trel/progress.h"

namespace trel {

template <class T>
void CedFilterFrames(const Frames& frames, uint64_t num_frames, T ced_param1, T ced_param2,
                     T ced_param3, uint64_t ced_steps, const ProgressCallback& progress = {},
                     unsigned threads = 1);

}  // namespace trel
