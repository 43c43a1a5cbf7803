#include "passing_divisions.h"

#include <algorithm>

namespace trel::tool {

namespace {

// Every label's last frame of it or of a descendant.
std::map<uint64_t, uint64_t> LastFrames(const std::vector<TrackLine>& lineage) {
  std::vector<const TrackLine*> latest_first;
  latest_first.reserve(lineage.size());
  for (const TrackLine& t : lineage) latest_first.push_back(&t);
  std::sort(latest_first.begin(), latest_first.end(),
            [](const TrackLine* a, const TrackLine* b) { return a->begin > b->begin; });
  std::map<uint64_t, uint64_t> last;
  for (const TrackLine* t : latest_first) {
    uint64_t& own = last[t->label];
    own = std::max(own, t->end);
    if (t->parent) last[t->parent] = std::max(last[t->parent], own);
  }
  return last;
}

WithdrawalRule PassingRule(uint64_t frames) {
  return [frames](const MaskStore&, const std::vector<TrackLine>& lineage) {
    return WithdrawPassingDivisions(lineage, frames);
  };
}

}  // namespace

Withdrawal WithdrawPassingDivisions(const std::vector<TrackLine>& lineage, uint64_t frames) {
  std::map<uint64_t, TrackLine> tracks;
  std::map<uint64_t, std::vector<uint64_t>> daughters;
  for (const TrackLine& t : lineage) {
    tracks[t.label] = t;
    if (t.parent && t.parent != t.label) daughters[t.parent].push_back(t.label);
  }
  const std::map<uint64_t, uint64_t> last = LastFrames(lineage);
  std::map<uint64_t, uint64_t> relabeled;
  for (const auto& [mother, children] : daughters) {
    if (!tracks.count(mother)) continue;
    const uint64_t split = tracks[mother].end + 1;
    const uint64_t needed = std::min(split + kMinDaughterFrames - 1, frames - 1);
    std::vector<uint64_t> lasting, passing;
    for (const uint64_t d : children) (last.at(d) >= needed ? lasting : passing).push_back(d);
    if (lasting.size() >= 2) continue;
    const uint64_t keeps_on = lasting.empty() ? 0 : tracks[lasting[0]].end;
    const bool leaves = std::all_of(passing.begin(), passing.end(), [&](uint64_t d) {
      return !daughters.count(d) && (lasting.empty() || tracks[d].end <= keeps_on);
    });
    if (!leaves) continue;
    for (const uint64_t d : children) relabeled[d] = mother;
  }
  return Withdraw(lineage, std::move(relabeled));
}

std::vector<TrackLine> WithdrawPassingDivisions(MaskStore& masks,
                                                const std::vector<TrackLine>& lineage,
                                                uint64_t frames) {
  return WithdrawOnMasks(masks, lineage, frames, PassingRule(frames)).lineage;
}

void WithdrawPassingDivisionsInFolder(const std::filesystem::path& folder, uint64_t frames) {
  WithdrawInFolder(folder, frames, PassingRule(frames));
}

}  // namespace trel::tool
