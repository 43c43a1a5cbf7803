// One row of a run's track table: a label, the frames it spans and the track it divided from.
#pragma once

#include <cstdint>

namespace trel {

struct TrackRecord {
  static constexpr uint64_t kNoFrame = UINT64_MAX;

  uint16_t label = 0;
  uint64_t first_frame = kNoFrame;
  uint64_t last_frame = kNoFrame;
  uint16_t parent = 0;  // label of the track it divided from; 0 = none
};

}  // namespace trel
