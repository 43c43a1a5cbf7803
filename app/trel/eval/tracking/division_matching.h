// Divisions of a tracking and how many of the reference's a result finds (branching
// correctness, Ulman et al. 2017). A division is a track with two or more daughter tracks. A
// result division finds a reference division at most i frames away when, in the earlier of the
// two division frames, its mother is the unique match of the reference mother, and in the first
// frame where all daughters of both have begun (the frame after the later division, unless a
// daughter appears after a gap) its daughters are unique matches of exactly the reference
// daughters.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "object_matching.h"
#include "track_file.h"
#include "track_graph.h"

namespace trel::tool {

struct Tracking {
  const std::vector<TrackLine>& tracks;
  const Presence& presence;
};

struct Division {
  uint16_t mother;
  uint64_t frame;  // the mother's last frame
  std::vector<uint16_t> daughters;
  uint64_t daughters_begun;  // the first frame in which every daughter has begun
};

// Ordered by frame, then mother label. Daughters without a vertex do not count. O(tracks).
std::vector<Division> FindDivisions(const Tracking& tracking);

struct DivisionCounts {
  uint64_t true_positives = 0;   // reference divisions found
  uint64_t false_positives = 0;  // result divisions that find none
  uint64_t false_negatives = 0;  // reference divisions not found
  // BC: the F1 score of the found divisions; empty when the reference has no division.
  std::optional<double> BranchingCorrectness() const;
};

// Pairs each reference division, earliest first, with the closest unpaired result division that
// finds it within `window` frames. O(reference divisions × result divisions).
DivisionCounts MatchDivisions(const std::vector<FrameMatching>& frames,
                              const std::vector<Division>& reference,
                              const std::vector<Division>& result, uint64_t window);

}  // namespace trel::tool
