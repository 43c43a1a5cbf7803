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

// Calls `visit` with every label on the left, right, top or bottom edge of any slice.
template <typename Visit>
void VisitEdgeLabels(const LabelImage& mask, Visit visit) {
  const uint64_t nx = mask.GetSizeX(), ny = mask.GetSizeY();
  if (nx == 0 || ny == 0) return;
  for (uint64_t z = 0; z < mask.GetSizeZ(); ++z) {
    for (uint64_t x = 0; x < nx; ++x) {
      visit(mask.GetVoxel(x, 0, z));
      visit(mask.GetVoxel(x, ny - 1, z));
    }
    for (uint64_t y = 0; y < ny; ++y) {
      visit(mask.GetVoxel(0, y, z));
      visit(mask.GetVoxel(nx - 1, y, z));
    }
  }
}

WithdrawalRule FleetingRule(uint64_t frames) {
  return [frames](const MaskStore& masks, const std::vector<TrackLine>& lineage) {
    return RemoveFleetingTracks(masks, lineage, frames);
  };
}

}  // namespace

Withdrawal RemoveFleetingTracks(const MaskStore& masks, const std::vector<TrackLine>& lineage,
                                uint64_t frames) {
  std::set<uint64_t> fleeting = Candidates(lineage, frames);
  std::vector<bool> candidate(kMaskLabels, false);
  for (const uint64_t label : fleeting) candidate[label] = true;
  LabelImage mask;
  for (const auto& [frame, labels] : FramesOf(lineage, fleeting, frames)) {
    masks.Read(frame, mask);
    VisitEdgeLabels(mask, [&](uint16_t label) {
      if (candidate[label]) {
        candidate[label] = false;
        fleeting.erase(label);
      }
    });
  }
  return Withdraw(lineage, {}, {}, std::move(fleeting));
}

std::vector<TrackLine> RemoveFleetingTracks(MaskStore& masks, const std::vector<TrackLine>& lineage,
                                            uint64_t frames) {
  return WithdrawOnMasks(masks, lineage, frames, FleetingRule(frames)).lineage;
}

uint64_t RemoveFleetingTracksInFolder(const std::filesystem::path& folder, uint64_t frames) {
  return WithdrawInFolder(folder, frames, FleetingRule(frames)).erased.size();
}

}  // namespace trel::tool
