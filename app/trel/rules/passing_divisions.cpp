#include "passing_divisions.h"

#include <algorithm>
#include <set>

#include "tool_error.h"

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

}  // namespace

Withdrawal WithdrawPassingDivisions(const std::vector<TrackLine>& lineage, uint64_t frames) {
  std::map<uint64_t, TrackLine> tracks;
  std::map<uint64_t, std::vector<uint64_t>> daughters;
  for (const TrackLine& t : lineage) {
    tracks[t.label] = t;
    if (t.parent && t.parent != t.label) daughters[t.parent].push_back(t.label);
  }
  const std::map<uint64_t, uint64_t> last = LastFrames(lineage);
  Withdrawal w;
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
    for (const uint64_t d : children) w.relabeled[d] = mother;
  }
  // A mother may itself be a withdrawn daughter: follow the chain to the label that stays.
  // A lineage with a loop of parents (which no tracker writes) must not loop here.
  const auto final_label = [&](uint64_t label) {
    for (size_t steps = 0; steps <= w.relabeled.size(); ++steps) {
      const auto it = w.relabeled.find(label);
      if (it == w.relabeled.end() || it->second == label) break;
      label = it->second;
    }
    return label;
  };
  for (auto& [label, to] : w.relabeled) to = final_label(label);
  std::map<uint64_t, uint64_t> end;  // of the labels that stay, over the labels they take in
  for (const TrackLine& t : lineage) {
    uint64_t& e = end[final_label(t.label)];
    e = std::max(e, t.end);
  }
  for (const TrackLine& t : lineage) {
    if (w.relabeled.count(t.label)) continue;
    TrackLine kept = t;
    kept.end = end[t.label];
    kept.parent = t.parent ? final_label(t.parent) : 0;
    w.lineage.push_back(kept);
  }
  return w;
}

namespace {

// Relabels the masks that hold a withdrawn label: only the frames each of them lives in.
void Relabel(MaskStore& masks, const std::vector<TrackLine>& lineage, const Withdrawal& w,
             uint64_t frames) {
  std::set<uint64_t> touched;
  for (const TrackLine& t : lineage)
    if (w.relabeled.count(t.label))
      for (uint64_t f = t.begin; f <= t.end && f < frames; ++f) touched.insert(f);
  std::vector<uint16_t> to(size_t{1} << 16);
  for (size_t l = 0; l < to.size(); ++l) to[l] = static_cast<uint16_t>(l);
  for (const auto& [from, into] : w.relabeled) to[from] = static_cast<uint16_t>(into);
  LabelImage mask;
  for (const uint64_t f : touched) {
    masks.Read(f, mask);
    for (unsigned short& v : mask) v = to[v];
    masks.Write(f, mask);
  }
}

}  // namespace

std::vector<TrackLine> WithdrawPassingDivisions(MaskStore& masks,
                                                const std::vector<TrackLine>& lineage,
                                                uint64_t frames) {
  Withdrawal w = WithdrawPassingDivisions(lineage, frames);
  Relabel(masks, lineage, w, frames);
  return std::move(w.lineage);
}

void WithdrawPassingDivisionsInFolder(const std::filesystem::path& folder, uint64_t frames) {
  const std::filesystem::path file = folder / "res_track.txt";
  const std::vector<TrackLine> lineage = ReadTrackFile(file);
  const Withdrawal w = WithdrawPassingDivisions(lineage, frames);
  if (w.relabeled.empty()) return;
  RemoveTrackFile(file);
  FolderMasks masks(folder);
  Relabel(masks, lineage, w, frames);
  WriteTrackFile(file, w.lineage);
}

}  // namespace trel::tool
