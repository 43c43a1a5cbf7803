#include "mask_store.h"

#include <algorithm>

#include "tool_error.h"

namespace trel::tool {

void MemoryMasks::Read(uint64_t t, LabelImage& mask) const {
  mask.MakeRoom(columns_, rows_, slices_);
  const uint16_t* frame = voxels_ + t * FrameVoxels();
  std::copy(frame, frame + FrameVoxels(), mask.begin());
}

void MemoryMasks::Write(uint64_t t, const LabelImage& mask) {
  if (mask.GetImageSize() != FrameVoxels())
    throw ToolError(kExitDataError,
                    Name(t).string() + " is " + SizeText(mask) + ", not the size of the frames");
  std::copy(mask.begin(), mask.end(), voxels_ + t * FrameVoxels());
}

}  // namespace trel::tool
