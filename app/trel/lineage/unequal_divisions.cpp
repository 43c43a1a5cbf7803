#include "unequal_divisions.h"

#include <algorithm>
#include <map>

#include "passing_divisions.h"

namespace trel::tool {

namespace {

// Every daughter's mean size in voxels over its first kMinDaughterFrames frames (fewer when it
// ends or the run ends before); daughters not in the masks' frames are missing.
std::map<uint64_t, double> DaughterSizes(const MaskStore& masks,
                                         const std::vector<TrackLine>& lineage,
                                         const std::set<uint64_t>& daughters, uint64_t frames) {
  std::map<uint64_t, std::pair<uint64_t, uint64_t>> seen;  // daughter -> voxels, frames
  std::vector<uint64_t> count(kMaskLabels);
  LabelImage mask;
  for (const auto& [frame, labels] : FramesOf(lineage, daughters, frames, kMinDaughterFrames)) {
    masks.Read(frame, mask);
    std::fill(count.begin(), count.end(), 0);
    for (const unsigned short v : mask) ++count[v];
    for (const uint16_t d : labels) {
      seen[d].first += count[d];
      ++seen[d].second;
    }
  }
  std::map<uint64_t, double> size;
  for (const auto& [d, s] : seen) size[d] = double(s.first) / double(s.second);
  return size;
}

WithdrawalRule UnequalRule(uint64_t frames) {
  return [frames](const MaskStore& masks, const std::vector<TrackLine>& lineage) {
    return WithdrawUnequalDivisions(masks, lineage, frames);
  };
}

}  // namespace

Withdrawal WithdrawUnequalDivisions(const MaskStore& masks, const std::vector<TrackLine>& lineage,
                                    uint64_t frames) {
  std::set<uint64_t> tracks;
  for (const TrackLine& t : lineage) tracks.insert(t.label);
  std::map<uint64_t, std::vector<uint64_t>> daughters;
  std::set<uint64_t> all;
  for (const TrackLine& t : lineage)
    if (t.parent && t.parent != t.label && t.parent < kMaskLabels && tracks.count(t.parent)) {
      daughters[t.parent].push_back(t.label);
      all.insert(t.label);
    }
  const std::map<uint64_t, double> size = DaughterSizes(masks, lineage, all, frames);
  std::map<uint64_t, uint64_t> relabeled;
  std::set<uint64_t> freed;
  for (const auto& [mother, children] : daughters) {
    // A daughter that cannot be measured leaves its division as it is.
    if (!std::all_of(children.begin(), children.end(), [&](uint64_t d) { return size.count(d); }))
      continue;
    double largest = 0;
    for (const uint64_t d : children) largest = std::max(largest, size.at(d));
    std::vector<uint64_t> alike;
    for (const uint64_t d : children) {
      if (size.at(d) * kMaxDaughterRatio < largest)
        freed.insert(d);
      else
        alike.push_back(d);
    }
    if (alike.size() == 1) relabeled[alike[0]] = mother;
  }
  return Withdraw(lineage, std::move(relabeled), std::move(freed));
}

std::vector<TrackLine> WithdrawUnequalDivisions(MaskStore& masks,
                                                const std::vector<TrackLine>& lineage,
                                                uint64_t frames) {
  return WithdrawOnMasks(masks, lineage, frames, UnequalRule(frames)).lineage;
}

void WithdrawUnequalDivisionsInFolder(const std::filesystem::path& folder, uint64_t frames) {
  WithdrawInFolder(folder, frames, UnequalRule(frames));
}

}  // namespace trel::tool
