#include "unequal_divisions.h"

#include <algorithm>
#include <map>

#include "passing_divisions.h"

namespace trel::tool {

namespace {

constexpr uint64_t kLabels = uint64_t{1} << 16;

// Every daughter's mean size in voxels over its first kMinDaughterFrames frames (fewer when it
// ends or the run ends before).
std::map<uint64_t, double> DaughterSizes(const MaskStore& masks,
                                         const std::vector<TrackLine>& lineage, uint64_t frames) {
  std::map<uint64_t, std::vector<uint16_t>> measured;  // frame -> daughters measured in it
  std::map<uint64_t, uint64_t> seen;                   // daughter -> frames measured
  for (const TrackLine& t : lineage) {
    if (!t.parent || t.label >= kLabels || t.begin > t.end) continue;
    const uint64_t last = std::min({t.end, t.begin + kMinDaughterFrames - 1, frames - 1});
    for (uint64_t f = t.begin; f <= last; ++f) measured[f].push_back(uint16_t(t.label));
    seen[t.label] = last >= t.begin ? last - t.begin + 1 : 0;
  }
  std::map<uint64_t, double> size;
  std::vector<uint64_t> count(kLabels);
  LabelImage mask;
  for (const auto& [frame, daughters] : measured) {
    masks.Read(frame, mask);
    std::fill(count.begin(), count.end(), 0);
    for (const unsigned short v : mask) ++count[v];
    for (const uint16_t d : daughters) size[d] += double(count[d]) / double(seen[d]);
  }
  return size;
}

}  // namespace

Withdrawal WithdrawUnequalDivisions(const MaskStore& masks, const std::vector<TrackLine>& lineage,
                                    uint64_t frames) {
  std::map<uint64_t, std::vector<uint64_t>> daughters;
  for (const TrackLine& t : lineage)
    if (t.parent && t.parent != t.label) daughters[t.parent].push_back(t.label);
  if (daughters.empty()) return Withdraw(lineage, {});
  const std::map<uint64_t, double> size = DaughterSizes(masks, lineage, frames);
  const auto size_of = [&](uint64_t d) {
    const auto it = size.find(d);
    return it == size.end() ? 0.0 : it->second;
  };
  std::map<uint64_t, uint64_t> relabeled;
  std::set<uint64_t> freed;
  for (const auto& [mother, children] : daughters) {
    double largest = 0;
    for (const uint64_t d : children) largest = std::max(largest, size_of(d));
    std::vector<uint64_t> alike;
    for (const uint64_t d : children) {
      if (size_of(d) * kMaxDaughterRatio < largest)
        freed.insert(d);
      else
        alike.push_back(d);
    }
    if (alike.size() == 1) relabeled[alike[0]] = mother;
  }
  return Withdraw(lineage, std::move(relabeled), std::move(freed));
}

namespace {

WithdrawalRule UnequalRule(uint64_t frames) {
  return [frames](const MaskStore& masks, const std::vector<TrackLine>& lineage) {
    return WithdrawUnequalDivisions(masks, lineage, frames);
  };
}

}  // namespace

std::vector<TrackLine> WithdrawUnequalDivisions(MaskStore& masks,
                                                const std::vector<TrackLine>& lineage,
                                                uint64_t frames) {
  return WithdrawOnMasks(masks, lineage, frames, UnequalRule(frames));
}

void WithdrawUnequalDivisionsInFolder(const std::filesystem::path& folder, uint64_t frames) {
  WithdrawInFolder(folder, frames, UnequalRule(frames));
}

}  // namespace trel::tool
