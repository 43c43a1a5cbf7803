// Frames in memory: the input is one array of T frames of Z slices of Y rows of X voxels (16-bit,
// frame after frame, x fastest), the output another of the same shape, and the lineage a table.
// Nothing touches a file.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "foundation/frames.h"
#include "voxa/resolution.h"

namespace trel {

struct FrameShape {
  uint64_t frames = 0, slices = 1, rows = 0, columns = 0;
  uint64_t FrameVoxels() const { return slices * rows * columns; }
};

class MemoryFrames : public Frames {
 public:
  // `input` holds shape.frames * shape.FrameVoxels() values and must outlive the object.
  MemoryFrames(const uint16_t* input, FrameShape shape, voxa::Resolution resolution = {});

  void LoadFrame(voxa::Image3d<unsigned short>& image, uint64_t i) const override;
  void SaveFrame(const voxa::Image3d<unsigned short>& image, uint64_t i,
                 const char* prefix) const override;
  void ForgetEarlierLineage() const override;
  void SaveLineage(const std::map<uint16_t, TrackRecord>& tracks) const override;

  // The output frames, in the input's layout; 0 where no frame was stored.
  const std::vector<uint16_t>& Output() const { return output_; }
  // The same, handed over: the object holds no output afterwards.
  std::vector<uint16_t> TakeOutput() { return std::move(output_); }
  const std::vector<TrackRecord>& Lineage() const { return lineage_; }

 private:
  void CheckIndex(uint64_t i) const;

  const uint16_t* input_;
  FrameShape shape_;
  voxa::Resolution resolution_;
  // Filled by the const interface of a run, as a file would be.
  mutable std::vector<uint16_t> output_;
  mutable std::vector<TrackRecord> lineage_;
};

}  // namespace trel
