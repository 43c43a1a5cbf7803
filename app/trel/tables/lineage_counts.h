// The counts of a lineage that a run's summary and its report give: tracks, divisions, and the
// doubtful parts worth a look: tracks of one or two frames, and divisions that lose a daughter
// within two frames before the run's end.
#pragma once

#include <cstdint>
#include <vector>

#include "track_file.h"

namespace trel::tool {

struct LineageCounts {
  uint64_t tracks = 0, divisions = 0, short_tracks = 0, divisions_losing_a_daughter = 0;
};

// `frames`: the run's number of frames.
LineageCounts CountLineage(const std::vector<TrackLine>& lineage, uint64_t frames);

}  // namespace trel::tool
