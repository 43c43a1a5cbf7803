#include "foundation/frame_size.h"

#include <cinttypes>

#include "trel/error.h"

namespace trel {

void CheckFrameSize(const voxa::Image3d<unsigned short>& frame,
                    const voxa::Image3d<unsigned short>& reference, uint64_t i) {
  if (frame.GetSize() == reference.GetSize()) return;
  throw Error("Frame i=%" PRIu64 ": Frame size differs from frame 0! (Expected=%" PRIu64 "x%" PRIu64
              "x%" PRIu64 ",Loaded=%" PRIu64 "x%" PRIu64 "x%" PRIu64 ")",
              i, reference.GetSizeX(), reference.GetSizeY(), reference.GetSizeZ(), frame.GetSizeX(),
              frame.GetSizeY(), frame.GetSizeZ());
}

}  // namespace trel
