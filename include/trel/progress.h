// Progress of a long run: called after each frame has been saved, with the frame's index and the
// number of frames of the run. It runs on the caller's thread; an exception it throws ends the
// run like any other failure.
#pragma once

#include <cstdint>
#include <functional>

namespace trel {

using ProgressCallback = std::function<void(uint64_t frame, uint64_t num_frames)>;

}  // namespace trel
