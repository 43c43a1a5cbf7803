// Rule checks over the lineage table and per-frame label sets. Labels alive at a frame are found
// by a scan of the table sorted by label, merged with the frame's sorted label list.
#include "result_rules.h"

#include <algorithm>
#include <unordered_map>

namespace trel::tool {

namespace {

constexpr uint64_t kMaxLabel = 65535;

std::string Text(uint64_t n) {
  return std::to_string(n);
}

void CheckLabels(const std::vector<TrackLine>& tracks, std::vector<Violation>& out) {
  std::unordered_map<uint64_t, uint64_t> first_line;
  for (const TrackLine& t : tracks) {
    if (t.label == 0)
      out.push_back({kNoFrame, 0,
                     "line " + Text(t.line) +
                         ": label 0 is not a "
                         "positive label"});
    if (t.label > kMaxLabel)
      out.push_back({kNoFrame, t.label,
                     "label exceeds " + Text(kMaxLabel) +
                         ", the largest "
                         "16-bit label"});
    const auto [it, inserted] = first_line.emplace(t.label, t.line);
    if (!inserted && t.label != 0)
      out.push_back({kNoFrame, t.label,
                     "label listed again on line " + Text(t.line) + " (first on line " +
                         Text(it->second) + ")"});
  }
}

void CheckSpans(const std::vector<TrackLine>& tracks, uint64_t frames,
                std::vector<Violation>& out) {
  for (const TrackLine& t : tracks) {
    if (t.begin > t.end)
      out.push_back(
          {kNoFrame, t.label,
           "track begins at frame " + Text(t.begin) + " after it ends at frame " + Text(t.end)});
    if (t.end >= frames)
      out.push_back({kNoFrame, t.label,
                     "track ends at frame " + Text(t.end) + " but the last mask is frame " +
                         (frames ? Text(frames - 1) : std::string("none"))});
  }
}

void CheckParents(const std::vector<TrackLine>& tracks, std::vector<Violation>& out) {
  std::unordered_map<uint64_t, const TrackLine*> by_label;
  for (const TrackLine& t : tracks) by_label.emplace(t.label, &t);
  for (const TrackLine& t : tracks) {
    if (t.parent == 0) continue;
    const auto it = by_label.find(t.parent);
    if (it == by_label.end()) {
      out.push_back({kNoFrame, t.label, "parent " + Text(t.parent) + " is not a track"});
      continue;
    }
    if (it->second->end >= t.begin)
      out.push_back({kNoFrame, t.label,
                     "parent " + Text(t.parent) + " ends at frame " + Text(it->second->end) +
                         ", not before its daughter begins at frame " + Text(t.begin)});
  }
}

}  // namespace

std::string FormatViolation(const Violation& v) {
  std::string where;
  if (v.frame != kNoFrame) where = "frame " + std::to_string(v.frame);
  if (v.label != 0) where += (where.empty() ? "tracks, label " : ", label ") + Text(v.label);
  return where.empty() ? v.rule : where + ": " + v.rule;
}

std::vector<Violation> CheckTrackTable(const std::vector<TrackLine>& tracks, uint64_t frames) {
  std::vector<Violation> violations;
  CheckLabels(tracks, violations);
  CheckSpans(tracks, frames, violations);
  CheckParents(tracks, violations);
  return violations;
}

PresenceRule::PresenceRule(const std::vector<TrackLine>& tracks) {
  for (const TrackLine& t : tracks)
    if (t.label > 0 && t.label <= kMaxLabel) tracks_.push_back(t);
  std::sort(tracks_.begin(), tracks_.end(),
            [](const TrackLine& a, const TrackLine& b) { return a.label < b.label; });
}

void PresenceRule::Check(uint64_t frame, const std::vector<uint16_t>& labels,
                         std::vector<Violation>& violations) const {
  const auto t = static_cast<int64_t>(frame);
  auto label = labels.begin();
  for (auto track = tracks_.begin(); track != tracks_.end(); ++track) {
    for (; label != labels.end() && *label < track->label; ++label)
      violations.push_back({t, *label, "label is in the mask but is not a track"});
    const bool alive = track->begin <= frame && frame <= track->end;
    const bool present = label != labels.end() && *label == track->label;
    // A duplicated track line is reported by CheckTrackTable; compare the label only once.
    const bool repeated = track != tracks_.begin() && (track - 1)->label == track->label;
    if (present && !alive && !repeated)
      violations.push_back({t, *label,
                            "label is in the mask but its track (frames " + Text(track->begin) +
                                "-" + Text(track->end) + ") is not alive"});
    if (!present && alive && !repeated)
      violations.push_back({t, track->label, "track is alive but its label is not in the mask"});
    if (present && (track + 1 == tracks_.end() || (track + 1)->label != track->label)) ++label;
  }
  for (; label != labels.end(); ++label)
    violations.push_back({t, *label, "label is in the mask but is not a track"});
}

}  // namespace trel::tool
