// Every frame of a run must have the size of frame 0: the tracking state (label image, graph-cut
// grid) is fixed by frame 0, and later frames are written into it voxel by voxel.
#pragma once

#include <cstdint>

#include "voxa/image3d.h"

namespace trel {

// Throws trel::Error "Frame i=N: Frame size differs from frame 0! (Expected=XxYxZ,Loaded=XxYxZ)"
// when `frame` differs in size from `reference` (an image with frame 0's geometry).
void CheckFrameSize(const voxa::Image3d<unsigned short>& frame,
                    const voxa::Image3d<unsigned short>& reference, uint64_t i);

}  // namespace trel
