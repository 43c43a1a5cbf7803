// The errors of one frame as the evaluation's own matching sees them, for drawing: every result
// object is matched, false (it covers no reference object's majority), merged (it covers
// several), or matched with a wrong link (what it continues in the previous frame is not what
// its reference object continues, or continues it by another kind of link: a track going on
// where the reference divides, or the reverse); reference objects no result object covers are
// missed.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "object_matching.h"
#include "track_file.h"

namespace trel::tool {

enum class Verdict : uint8_t { kMatched, kFalse, kMerged, kWrongLink };

struct FrameErrors {
  std::map<uint16_t, Verdict> result;  // every result label of the frame
  std::vector<uint16_t> missed;        // reference labels, ascending
  uint64_t Count(Verdict v) const;
};

// What a label continues in the previous frame: itself, or its parent when its track begins in
// this frame (a division); from a lineage file. Links across a gap of frames are not judged.
struct Link {
  uint32_t from = 0;      // the label in frame t - 1; 0 when there is none
  bool division = false;  // parent to daughter rather than a track going on
  bool operator==(const Link&) const = default;
};

class Links {
 public:
  explicit Links(const std::vector<TrackLine>& lineage);
  // The link into `label`, present in frame t. `before`: the labels present in frame t - 1,
  // ascending.
  Link Into(uint16_t label, uint64_t t, const std::vector<uint16_t>& before) const;

 private:
  std::map<uint64_t, TrackLine> tracks_;
};

// `before` is the previous frame's matching (null in the first frame): links are judged only
// when it is given.
FrameErrors JudgeFrame(const FrameMatching& now, const FrameMatching* before, uint64_t t,
                       const Links& result, const Links& reference);

}  // namespace trel::tool
