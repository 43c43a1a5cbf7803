#include "lineage_counts.h"

#include <set>

namespace trel::tool {

namespace {

constexpr uint64_t kShortTrack = 2;  // frames

}  // namespace

LineageCounts CountLineage(const std::vector<TrackLine>& lineage, uint64_t frames) {
  std::set<uint64_t> parents;
  for (const TrackLine& t : lineage)
    if (t.parent) parents.insert(t.parent);
  LineageCounts counts;
  counts.tracks = lineage.size();
  counts.divisions = parents.size();
  std::set<uint64_t> losing;
  for (const TrackLine& t : lineage) {
    const bool brief = t.end - t.begin + 1 <= kShortTrack;
    counts.short_tracks += brief;
    if (brief && t.parent && !parents.count(t.label) && t.end + 1 < frames) losing.insert(t.parent);
  }
  counts.divisions_losing_a_daughter = losing.size();
  return counts;
}

}  // namespace trel::tool
