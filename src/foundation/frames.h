// Where a run's frames come from and where its results go. The drivers see only this, so the same
// level-set, graph-cut and diffusion loops run on a folder of TIFF files (FrameSequence) or on
// arrays in memory (MemoryFrames). Every failure is a trel::Error naming the frame.
#pragma once

#include <cstdint>
#include <map>

#include "foundation/track_record.h"
#include "voxa/image3d.h"

namespace trel {

class Frames {
 public:
  virtual ~Frames() = default;

  // Replaces the image with input frame i; checks its voxel type and number of slices.
  virtual void LoadFrame(voxa::Image3d<unsigned short>& image, uint64_t i) const = 0;
  // Stores the image as output frame i; `prefix` names the kind ("mask" labels, "t" frames).
  virtual void SaveFrame(const voxa::Image3d<unsigned short>& image, uint64_t i,
                         const char* prefix) const = 0;
  // Before the first output frame can replace an earlier one: drops an earlier run's lineage,
  // which beside new masks would pass for a whole result.
  virtual void ForgetEarlierLineage() const = 0;
  // After the last frame: stores the run's track table.
  virtual void SaveLineage(const std::map<uint16_t, TrackRecord>& tracks) const = 0;
};

}  // namespace trel
