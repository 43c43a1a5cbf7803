// Biologically motivated tracking measures (Ulman et al. 2017), all read through the unique
// matches of the reference objects (a merged result object stands for none of them):
//   CT      complete tracks: 2·T_rc / (T_r + T_gt), T_rc the reference tracks that one result
//           track reproduces exactly (same frames, the unique match in every one);
//   TF      track fractions: over reference tracks with at least one matched vertex, the mean of
//           the longest run of consecutive frames matched by one result track, over its length;
//           a result track that follows a whole reference track counts for that one alone;
//   BC(i)   branching correctness with a tolerance of i frames (division_matching.h);
//   CCA     cell-cycle accuracy (cell_cycles.h);
//   BIO(i)  the mean of those of CT, TF, BC(i) and CCA that can be computed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "division_matching.h"
#include "object_matching.h"

namespace trel::tool {

inline constexpr int kMaxBranchingWindow = 3;  // BC(0) … BC(3) are reported

struct BioMeasures {
  std::optional<double> ct;
  std::optional<double> tf;
  std::optional<double> cca;
  std::vector<DivisionCounts> divisions;  // divisions[i]: found within i frames
  uint64_t reference_tracks = 0;
  uint64_t result_tracks = 0;
  uint64_t complete_tracks = 0;
  uint64_t reference_divisions = 0;
  uint64_t result_divisions = 0;

  std::optional<double> Bc(int window) const;
  std::optional<double> Bio(int window) const;
};

// O(vertices + reference divisions × result divisions).
BioMeasures ComputeBioMeasures(const std::vector<FrameMatching>& frames, const Tracking& reference,
                               const Tracking& result);

}  // namespace trel::tool
