#include "relabeling.h"

#include <algorithm>

namespace trel::tool {

Withdrawal Withdraw(const std::vector<TrackLine>& lineage, std::map<uint64_t, uint64_t> relabeled,
                    std::set<uint64_t> freed, std::set<uint64_t> erased) {
  // A mother may itself be a withdrawn daughter: follow the chain to the label that stays.
  // A lineage with a loop of parents (which no tracker writes) must not loop here.
  const auto final_label = [&](uint64_t label) {
    for (size_t steps = 0; steps <= relabeled.size(); ++steps) {
      const auto it = relabeled.find(label);
      if (it == relabeled.end() || it->second == label) break;
      label = it->second;
    }
    return label;
  };
  for (auto& [label, to] : relabeled) to = final_label(label);
  std::map<uint64_t, uint64_t> end;  // of the labels that stay, over the labels they take in
  for (const TrackLine& t : lineage) {
    uint64_t& e = end[final_label(t.label)];
    e = std::max(e, t.end);
  }
  Withdrawal w;
  for (const TrackLine& t : lineage) {
    if (relabeled.count(t.label) || erased.count(t.label)) continue;
    TrackLine kept = t;
    kept.end = end[t.label];
    kept.parent = t.parent && !freed.count(t.label) ? final_label(t.parent) : 0;
    w.lineage.push_back(kept);
  }
  w.relabeled = std::move(relabeled);
  w.freed = std::move(freed);
  w.erased = std::move(erased);
  return w;
}

std::map<uint64_t, std::vector<uint16_t>> FramesOf(const std::vector<TrackLine>& lineage,
                                                   const std::set<uint64_t>& labels,
                                                   uint64_t frames, uint64_t first_frames) {
  std::map<uint64_t, std::vector<uint16_t>> in;
  for (const TrackLine& t : lineage) {
    if (t.label >= kMaskLabels || !labels.count(t.label) || t.begin >= frames) continue;
    const uint64_t last =
        std::min({t.end, frames - 1, t.begin + std::min(first_frames - 1, frames)});
    for (uint64_t f = t.begin; f <= last; ++f) in[f].push_back(static_cast<uint16_t>(t.label));
  }
  return in;
}

namespace {

// Rewrites the masks that hold a withdrawn or erased label: only the frames each lives in.
void RewriteMasks(MaskStore& masks, const std::vector<TrackLine>& lineage, const Withdrawal& w,
                  uint64_t frames) {
  std::vector<uint16_t> to(kMaskLabels);
  for (size_t l = 0; l < to.size(); ++l) to[l] = static_cast<uint16_t>(l);
  std::set<uint64_t> changed(w.erased);
  for (const auto& [from, into] : w.relabeled)
    if (from < kMaskLabels && into < kMaskLabels) {
      to[from] = static_cast<uint16_t>(into);
      changed.insert(from);
    }
  for (const uint64_t label : w.erased)
    if (label < kMaskLabels) to[label] = 0;
  LabelImage mask;
  for (const auto& [f, labels] : FramesOf(lineage, changed, frames)) {
    masks.Read(f, mask);
    for (unsigned short& v : mask) v = to[v];
    masks.Write(f, mask);
  }
}

}  // namespace

Withdrawal WithdrawOnMasks(MaskStore& masks, const std::vector<TrackLine>& lineage, uint64_t frames,
                           const WithdrawalRule& rule) {
  Withdrawal w = rule(masks, lineage);
  RewriteMasks(masks, lineage, w, frames);
  return w;
}

Withdrawal WithdrawInFolder(const std::filesystem::path& folder, uint64_t frames,
                            const WithdrawalRule& rule) {
  const std::filesystem::path file = folder / "res_track.txt";
  const std::vector<TrackLine> lineage = ReadTrackFile(file);
  FolderMasks masks(folder);
  Withdrawal w = rule(masks, lineage);
  if (!w.Changes()) return w;
  RemoveTrackFile(file);
  RewriteMasks(masks, lineage, w, frames);
  WriteTrackFile(file, w.lineage);
  return w;
}

}  // namespace trel::tool
