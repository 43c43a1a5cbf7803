// The consistency rules of a tracking result: labels of the lineage table are positive, 16-bit
// and unique; every track begins no later than it ends; a parent is a listed track that ends
// before its daughter begins; in every frame the labels of the mask are exactly the tracks alive
// then; masks are 16-bit and all of one size. Each broken rule is reported, none stops the check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "track_file.h"

namespace trel::tool {

inline constexpr int64_t kNoFrame = -1;

struct Violation {
  int64_t frame = kNoFrame;  // kNoFrame: a rule of the lineage table or of the whole folder
  uint64_t label = 0;        // 0: the rule concerns no single label
  std::string rule;
};

// "frame 3, label 7: <rule>", "tracks, label 7: <rule>" or "<rule>".
std::string FormatViolation(const Violation& v);

// Rules of the lineage table alone, given the number of mask frames. O(tracks log tracks).
std::vector<Violation> CheckTrackTable(const std::vector<TrackLine>& tracks, uint64_t frames);

// Compares the labels present in the mask of frame t (ascending) with the tracks alive at t.
// O(labels + tracks) per frame.
class PresenceRule {
 public:
  explicit PresenceRule(const std::vector<TrackLine>& tracks);
  void Check(uint64_t frame, const std::vector<uint16_t>& labels,
             std::vector<Violation>& violations) const;

 private:
  std::vector<TrackLine> tracks_;  // valid 16-bit labels only, sorted by label
};

}  // namespace trel::tool
