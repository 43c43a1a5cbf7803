// Biologically motivated tracking measures (Ulman et al. 2017):
//   CT     complete tracks: 2·T_rc / (T_r + T_gt), T_rc the reference tracks that one result
//          track reproduces exactly (same frames, each vertex the unique match of the other);
//   TF     track fractions: over reference tracks with at least one matched vertex, the mean of
//          the longest run of consecutive frames matched by one result track, over its length;
//   BC(i)  branching correctness: F1 score of the reference divisions found by a result
//          division at most i frames away, with parents and daughters matching.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "object_matching.h"
#include "track_file.h"
#include "track_graph.h"

namespace trel::tool {

inline constexpr int kMaxBranchingWindow = 3;  // BC(0) … BC(3) are reported

struct BioMeasures {
  std::optional<double> ct;
  std::optional<double> tf;
  std::vector<std::optional<double>> bc;  // bc[i] = BC(i), i = 0 … kMaxBranchingWindow
  uint64_t reference_tracks = 0;
  uint64_t result_tracks = 0;
  uint64_t complete_tracks = 0;
  uint64_t reference_divisions = 0;
  uint64_t result_divisions = 0;
};

struct Tracking {
  const std::vector<TrackLine>& tracks;
  const Presence& presence;
};

// O(vertices + divisions²) for the (few) divisions.
BioMeasures ComputeBioMeasures(const std::vector<FrameMatching>& frames, const Tracking& reference,
                               const Tracking& result);

}  // namespace trel::tool
