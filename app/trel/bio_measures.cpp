// CT, TF and BC(i) from the per-frame matchings: a reference track is followed vertex by vertex
// through the label that matches it; divisions are paired greedily, closest in time first, and
// the daughters of a pair must be matchable one to one.
#include "bio_measures.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace trel::tool {

namespace {

constexpr uint64_t kLabelCount = 65536;

struct Division {
  uint16_t parent;
  uint64_t frame;  // the parent's last frame
  std::vector<uint16_t> daughters;
};

std::vector<Division> FindDivisions(const Tracking& tracking) {
  std::vector<std::vector<uint16_t>> daughters(kLabelCount);
  for (const TrackLine& t : tracking.tracks)
    if (t.parent != 0 && t.parent < kLabelCount && t.label < kLabelCount &&
        !tracking.presence.Frames(static_cast<uint16_t>(t.label)).empty())
      daughters[t.parent].push_back(static_cast<uint16_t>(t.label));
  std::vector<Division> divisions;
  for (uint16_t parent : tracking.presence.Labels())
    if (daughters[parent].size() >= 2)
      divisions.push_back({parent, tracking.presence.Frames(parent).back(), daughters[parent]});
  return divisions;
}

// For every reference label, the result labels that match at least one of its vertices.
std::vector<std::vector<uint16_t>> MatchingLabels(const std::vector<FrameMatching>& frames,
                                                  const Presence& reference) {
  std::vector<std::vector<uint16_t>> labels(kLabelCount);
  for (uint16_t g : reference.Labels()) {
    for (uint64_t t : reference.Frames(g)) {
      const uint16_t r = frames[t].MatchOf(g);
      if (r && std::find(labels[g].begin(), labels[g].end(), r) == labels[g].end())
        labels[g].push_back(r);
    }
  }
  return labels;
}

bool IsComplete(const std::vector<FrameMatching>& frames, const Presence& reference,
                const Presence& result, uint16_t g) {
  const std::vector<uint64_t>& gf = reference.Frames(g);
  const uint16_t r = frames[gf.front()].MatchOf(g);
  if (r == 0 || result.Frames(r) != gf) return false;
  for (uint64_t t : gf)
    if (frames[t].MatchOf(g) != r || frames[t].UniqueMatchOf(r) != g) return false;
  return true;
}

double LongestMatchedFraction(const std::vector<FrameMatching>& frames, const Presence& reference,
                              uint16_t g) {
  const std::vector<uint64_t>& gf = reference.Frames(g);
  uint64_t best = 0, run = 0;
  uint16_t previous = 0;
  for (size_t k = 0; k < gf.size(); ++k) {
    const uint16_t r = frames[gf[k]].MatchOf(g);
    const bool continues = k > 0 && r != 0 && r == previous && gf[k] == gf[k - 1] + 1;
    run = r == 0 ? 0 : (continues ? run + 1 : 1);
    previous = r;
    best = std::max(best, run);
  }
  return static_cast<double>(best) / static_cast<double>(gf.size());
}

bool DaughtersPair(const std::vector<uint16_t>& reference, const std::vector<uint16_t>& result,
                   const std::vector<std::vector<uint16_t>>& matching) {
  if (reference.size() != result.size()) return false;
  std::vector<size_t> order(result.size());
  std::iota(order.begin(), order.end(), 0);
  do {
    bool all = true;
    for (size_t k = 0; k < reference.size() && all; ++k) {
      const auto& m = matching[reference[k]];
      all = std::find(m.begin(), m.end(), result[order[k]]) != m.end();
    }
    if (all) return true;
  } while (std::next_permutation(order.begin(), order.end()));
  return false;
}

uint64_t MatchedDivisions(const std::vector<Division>& reference,
                          const std::vector<Division>& result,
                          const std::vector<std::vector<uint16_t>>& matching, uint64_t window) {
  std::vector<bool> used(result.size(), false);
  uint64_t found = 0;
  for (const Division& d : reference) {
    size_t best = result.size();
    uint64_t best_distance = window + 1;
    for (size_t k = 0; k < result.size(); ++k) {
      const uint64_t distance =
          d.frame > result[k].frame ? d.frame - result[k].frame : result[k].frame - d.frame;
      const auto& parents = matching[d.parent];
      if (used[k] || distance >= best_distance ||
          std::find(parents.begin(), parents.end(), result[k].parent) == parents.end() ||
          !DaughtersPair(d.daughters, result[k].daughters, matching))
        continue;
      best = k;
      best_distance = distance;
    }
    if (best < result.size()) {
      used[best] = true;
      ++found;
    }
  }
  return found;
}

}  // namespace

BioMeasures ComputeBioMeasures(const std::vector<FrameMatching>& frames, const Tracking& reference,
                               const Tracking& result) {
  BioMeasures m;
  m.reference_tracks = reference.presence.Labels().size();
  m.result_tracks = result.presence.Labels().size();
  double fractions = 0.0;
  uint64_t detected = 0;
  for (uint16_t g : reference.presence.Labels()) {
    if (IsComplete(frames, reference.presence, result.presence, g)) ++m.complete_tracks;
    const double fraction = LongestMatchedFraction(frames, reference.presence, g);
    if (fraction > 0.0) {
      fractions += fraction;
      ++detected;
    }
  }
  if (m.reference_tracks + m.result_tracks > 0)
    m.ct = 2.0 * static_cast<double>(m.complete_tracks) /
           static_cast<double>(m.reference_tracks + m.result_tracks);
  if (detected > 0) m.tf = fractions / static_cast<double>(detected);

  const std::vector<Division> ref_divisions = FindDivisions(reference);
  const std::vector<Division> res_divisions = FindDivisions(result);
  m.reference_divisions = ref_divisions.size();
  m.result_divisions = res_divisions.size();
  const auto matching = MatchingLabels(frames, reference.presence);
  m.bc.assign(kMaxBranchingWindow + 1, std::nullopt);
  if (ref_divisions.empty()) return m;
  for (int i = 0; i <= kMaxBranchingWindow; ++i) {
    const uint64_t found =
        MatchedDivisions(ref_divisions, res_divisions, matching, static_cast<uint64_t>(i));
    m.bc[i] = 2.0 * static_cast<double>(found) /
              static_cast<double>(ref_divisions.size() + res_divisions.size());
  }
  return m;
}

}  // namespace trel::tool
