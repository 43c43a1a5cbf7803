// CT and TF follow each reference track vertex by vertex through its unique match; BC and CCA
// come from the divisions of both trackings.
#include "bio_measures.h"

#include <algorithm>
#include <unordered_map>

#include "cell_cycles.h"

namespace trel::tool {

namespace {

bool IsComplete(const std::vector<FrameMatching>& frames, const Presence& reference,
                const Presence& result, uint16_t g) {
  const std::vector<uint64_t>& gf = reference.Frames(g);
  const uint16_t r = frames[gf.front()].UniqueMatchFor(g);
  if (r == 0 || result.Frames(r) != gf) return false;
  return std::all_of(gf.begin(), gf.end(),
                     [&](uint64_t t) { return frames[t].UniqueMatchFor(g) == r; });
}

struct Run {
  uint16_t result;
  uint64_t length;
};

// The runs of consecutive frames in which one result label stands for reference track g.
std::vector<Run> MatchedRuns(const std::vector<FrameMatching>& frames, const Presence& reference,
                             uint16_t g) {
  const std::vector<uint64_t>& gf = reference.Frames(g);
  std::vector<Run> runs;
  uint16_t previous = 0;
  for (size_t k = 0; k < gf.size(); ++k) {
    const uint16_t r = frames[gf[k]].UniqueMatchFor(g);
    if (r != 0 && r == previous && gf[k] == gf[k - 1] + 1)
      ++runs.back().length;
    else if (r != 0)
      runs.push_back({r, 1});
    previous = r;
  }
  return runs;
}

// TF: a result track that follows a reference track from its first frame to its last belongs to
// it (to the lowest such label) and counts for no other reference track.
std::optional<double> TrackFractions(const std::vector<FrameMatching>& frames,
                                     const Presence& reference) {
  const std::vector<uint16_t>& labels = reference.Labels();
  std::vector<std::vector<Run>> runs;
  std::unordered_map<uint16_t, uint16_t> owner;
  for (uint16_t g : labels) {
    runs.push_back(MatchedRuns(frames, reference, g));
    for (const Run& run : runs.back())
      if (run.length == reference.Frames(g).size()) owner.emplace(run.result, g);
  }
  double fractions = 0.0;
  uint64_t detected = 0;
  for (size_t k = 0; k < labels.size(); ++k) {
    uint64_t best = 0;
    for (const Run& run : runs[k]) {
      const auto it = owner.find(run.result);
      if (it == owner.end() || it->second == labels[k]) best = std::max(best, run.length);
    }
    if (best == 0) continue;
    fractions +=
        static_cast<double>(best) / static_cast<double>(reference.Frames(labels[k]).size());
    ++detected;
  }
  if (detected == 0) return std::nullopt;
  return fractions / static_cast<double>(detected);
}

void TrackMeasures(const std::vector<FrameMatching>& frames, const Tracking& reference,
                   const Tracking& result, BioMeasures& m) {
  m.reference_tracks = reference.presence.Labels().size();
  m.result_tracks = result.presence.Labels().size();
  for (uint16_t g : reference.presence.Labels())
    if (IsComplete(frames, reference.presence, result.presence, g)) ++m.complete_tracks;
  if (m.reference_tracks + m.result_tracks > 0)
    m.ct = 2.0 * static_cast<double>(m.complete_tracks) /
           static_cast<double>(m.reference_tracks + m.result_tracks);
  m.tf = TrackFractions(frames, reference.presence);
}

}  // namespace

std::optional<double> BioMeasures::Bc(int window) const {
  return divisions[static_cast<size_t>(window)].BranchingCorrectness();
}

std::optional<double> BioMeasures::Bio(int window) const {
  double sum = 0.0;
  int n = 0;
  for (const std::optional<double>& measure : {ct, tf, Bc(window), cca})
    if (measure) {
      sum += *measure;
      ++n;
    }
  if (n == 0) return std::nullopt;
  return sum / n;
}

BioMeasures ComputeBioMeasures(const std::vector<FrameMatching>& frames, const Tracking& reference,
                               const Tracking& result) {
  BioMeasures m;
  TrackMeasures(frames, reference, result, m);
  const std::vector<Division> ref_divisions = FindDivisions(reference);
  const std::vector<Division> res_divisions = FindDivisions(result);
  m.reference_divisions = ref_divisions.size();
  m.result_divisions = res_divisions.size();
  for (int i = 0; i <= kMaxBranchingWindow; ++i)
    m.divisions.push_back(
        MatchDivisions(frames, ref_divisions, res_divisions, static_cast<uint64_t>(i)));
  m.cca = CellCycleAccuracy(CellCycleLengths(reference, ref_divisions),
                            CellCycleLengths(result, res_divisions));
  return m;
}

}  // namespace trel::tool
