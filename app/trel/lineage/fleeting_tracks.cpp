#include "fleeting_tracks.h"

#include <map>

namespace trel::tool {

namespace {

// Fleeting by the lineage alone: the only track of its label, alone in the lineage, and short in
// a run long enough to tell.
std::set<uint64_t> Candidates(const std::vector<TrackLine>& lineage, uint64_t frames) {
  std::set<uint64_t> candidates;
  if (frames < kMinLastingFrames) return candidates;
  std::set<uint64_t> mothers;
  std::map<uint64_t, int> lines;
  for (const TrackLine& t : lineage) {
    if (t.parent) mothers.insert(t.parent);
    ++lines[t.label];
  }
  for (const TrackLine& t : lineage)
    if (!t.parent && !mothers.count(t.label) && lines[t.label] == 1 && t.label < kMaskLabels &&
        t.begin <= t.end && t.end < frames && t.end - t.begin + 1 < kMinLastingFrames)
      candidates.insert(t.label);
  return candidates;
}

WithdrawalRule FleetingRule(uint64_t frames) {
  return [frames](const MaskStore& masks, const std::vector<TrackLine>& lineage) {
    return RemoveFleetingTracks(masks, lineage, frames);
  };
}

}  // namespace

Withdrawal RemoveFleetingTracks(const MaskStore&, const std::vector<TrackLine>& lineage,
                                uint64_t frames) {
  return Withdraw(lineage, {}, {}, Candidates(lineage, frames));
}

std::vector<TrackLine> RemoveFleetingTracks(MaskStore& masks, const std::vector<TrackLine>& lineage,
                                            uint64_t frames) {
  return WithdrawOnMasks(masks, lineage, frames, FleetingRule(frames)).lineage;
}

uint64_t RemoveFleetingTracksInFolder(const std::filesystem::path& folder, uint64_t frames) {
  return WithdrawInFolder(folder, frames, FleetingRule(frames)).erased.size();
}

}  // namespace trel::tool
