#include "foundation/memory_frames.h"

#include <algorithm>
#include <cinttypes>

#include "trel/error.h"

namespace trel {

MemoryFrames::MemoryFrames(const uint16_t* input, FrameShape shape, voxa::Resolution resolution)
    : input_(input),
      shape_(shape),
      resolution_(resolution),
      output_(shape.frames * shape.FrameVoxels(), 0) {}

void MemoryFrames::CheckIndex(uint64_t i) const {
  if (i >= shape_.frames)
    throw Error("Index i=%" PRIu64 " is out of the range <0,%" PRId64 ">!", i,
                static_cast<int64_t>(shape_.frames - 1));
}

void MemoryFrames::LoadFrame(voxa::Image3d<unsigned short>& image, uint64_t i) const {
  CheckIndex(i);
  image.MakeRoom(shape_.columns, shape_.rows, shape_.slices);
  image.SetResolution(resolution_);
  const uint16_t* frame = input_ + i * shape_.FrameVoxels();
  std::copy(frame, frame + shape_.FrameVoxels(), image.begin());
}

void MemoryFrames::SaveFrame(const voxa::Image3d<unsigned short>& image, uint64_t i,
                             const char*) const {
  CheckIndex(i);
  if (image.GetSizeX() != shape_.columns || image.GetSizeY() != shape_.rows ||
      image.GetSizeZ() != shape_.slices)
    throw Error("Frame i=%" PRIu64 ": Image data cannot be saved! (a frame of another size)", i);
  std::copy(image.begin(), image.end(), output_.begin() + i * shape_.FrameVoxels());
}

void MemoryFrames::ForgetEarlierLineage() const {
  lineage_.clear();
}

void MemoryFrames::SaveLineage(const std::map<uint16_t, TrackRecord>& tracks) const {
  lineage_.clear();
  for (const auto& [label, record] : tracks) lineage_.push_back(record);
}

}  // namespace trel
