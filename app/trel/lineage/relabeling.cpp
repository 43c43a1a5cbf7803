#include "relabeling.h"

#include <algorithm>

namespace trel::tool {

Withdrawal Withdraw(const std::vector<TrackLine>& lineage, std::map<uint64_t, uint64_t> relabeled,
                    std::set<uint64_t> freed) {
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
    if (relabeled.count(t.label)) continue;
    TrackLine kept = t;
    kept.end = end[t.label];
    kept.parent = t.parent && !freed.count(t.label) ? final_label(t.parent) : 0;
    w.lineage.push_back(kept);
  }
  w.relabeled = std::move(relabeled);
  w.freed = std::move(freed);
  return w;
}

namespace {

// Relabels the masks that hold a withdrawn label: only the frames each of them lives in.
void RelabelMasks(MaskStore& masks, const std::vector<TrackLine>& lineage, const Withdrawal& w,
                  uint64_t frames) {
  std::set<uint64_t> touched;
  for (const TrackLine& t : lineage)
    if (w.relabeled.count(t.label))
      for (uint64_t f = t.begin; f <= t.end && f < frames; ++f) touched.insert(f);
  std::vector<uint16_t> to(size_t{1} << 16);
  for (size_t l = 0; l < to.size(); ++l) to[l] = static_cast<uint16_t>(l);
  for (const auto& [from, into] : w.relabeled)
    if (from < to.size()) to[from] = static_cast<uint16_t>(into);
  LabelImage mask;
  for (const uint64_t f : touched) {
    masks.Read(f, mask);
    for (unsigned short& v : mask) v = to[v];
    masks.Write(f, mask);
  }
}

}  // namespace

std::vector<TrackLine> WithdrawOnMasks(MaskStore& masks, const std::vector<TrackLine>& lineage,
                                       uint64_t frames, const WithdrawalRule& rule) {
  Withdrawal w = rule(masks, lineage);
  RelabelMasks(masks, lineage, w, frames);
  return std::move(w.lineage);
}

void WithdrawInFolder(const std::filesystem::path& folder, uint64_t frames,
                      const WithdrawalRule& rule) {
  const std::filesystem::path file = folder / "res_track.txt";
  const std::vector<TrackLine> lineage = ReadTrackFile(file);
  FolderMasks masks(folder);
  const Withdrawal w = rule(masks, lineage);
  if (!w.Changes()) return;
  RemoveTrackFile(file);
  RelabelMasks(masks, lineage, w, frames);
  WriteTrackFile(file, w.lineage);
}

}  // namespace trel::tool
