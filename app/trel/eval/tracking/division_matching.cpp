// Division pairing by the matchings of the two frames around the divisions: the mothers are
// compared while both still exist and the daughters once both sets exist.
#include "division_matching.h"

#include <algorithm>
#include <tuple>

namespace trel::tool {

namespace {

constexpr uint64_t kLabelCount = 65536;

bool Finds(const std::vector<FrameMatching>& frames, const Division& reference,
           const Division& result, uint64_t window) {
  const uint64_t first = std::min(reference.frame, result.frame);
  const uint64_t last = std::max(reference.frame, result.frame);
  const uint64_t compared = std::max(reference.daughters_begun, result.daughters_begun);
  if (last - first > window || compared >= frames.size()) return false;
  if (result.daughters.size() != reference.daughters.size()) return false;
  if (frames[first].UniqueMatchOf(result.mother) != reference.mother) return false;
  // A reference object has at most one unique match per frame, so equal counts and every result
  // daughter matching a reference daughter pair them one to one.
  const FrameMatching& after = frames[compared];
  return std::all_of(result.daughters.begin(), result.daughters.end(), [&](uint16_t daughter) {
    const uint16_t match = after.UniqueMatchOf(daughter);
    return std::find(reference.daughters.begin(), reference.daughters.end(), match) !=
           reference.daughters.end();
  });
}

}  // namespace

std::vector<Division> FindDivisions(const Tracking& tracking) {
  std::vector<std::vector<uint16_t>> daughters(kLabelCount);
  for (const TrackLine& t : tracking.tracks)
    if (t.parent != 0 && t.parent < kLabelCount && t.label < kLabelCount &&
        !tracking.presence.Frames(static_cast<uint16_t>(t.label)).empty())
      daughters[t.parent].push_back(static_cast<uint16_t>(t.label));
  std::vector<Division> divisions;
  for (uint16_t mother : tracking.presence.Labels())
    if (daughters[mother].size() >= 2) {
      uint64_t begun = 0;
      for (uint16_t d : daughters[mother])
        begun = std::max(begun, tracking.presence.Frames(d).front());
      divisions.push_back(
          {mother, tracking.presence.Frames(mother).back(), daughters[mother], begun});
    }
  std::stable_sort(divisions.begin(), divisions.end(), [](const Division& a, const Division& b) {
    return std::tie(a.frame, a.mother) < std::tie(b.frame, b.mother);
  });
  return divisions;
}

std::optional<double> DivisionCounts::BranchingCorrectness() const {
  if (true_positives + false_negatives == 0) return std::nullopt;
  return 2.0 * static_cast<double>(true_positives) /
         static_cast<double>(2 * true_positives + false_positives + false_negatives);
}

DivisionCounts MatchDivisions(const std::vector<FrameMatching>& frames,
                              const std::vector<Division>& reference,
                              const std::vector<Division>& result, uint64_t window) {
  std::vector<bool> used(result.size(), false);
  DivisionCounts counts;
  for (const Division& d : reference) {
    size_t best = result.size();
    uint64_t best_distance = window + 1;
    for (size_t k = 0; k < result.size(); ++k) {
      const uint64_t distance =
          d.frame > result[k].frame ? d.frame - result[k].frame : result[k].frame - d.frame;
      if (used[k] || distance >= best_distance || !Finds(frames, d, result[k], window)) continue;
      best = k;
      best_distance = distance;
    }
    if (best < result.size()) {
      used[best] = true;
      ++counts.true_positives;
    }
  }
  counts.false_negatives = reference.size() - counts.true_positives;
  counts.false_positives = result.size() - counts.true_positives;
  return counts;
}

}  // namespace trel::tool
