// Graph construction from label presence and the lineage table. Track links follow presence,
// not the table's frame range, so a label missing from some frames of its track still forms one
// chain; parent links come from the table.
#include "track_graph.h"

namespace trel::tool {

namespace {

constexpr uint64_t kLabelCount = 65536;

}  // namespace

Presence::Presence(const std::vector<std::vector<uint16_t>>& labels_per_frame)
    : frames_(kLabelCount) {
  for (uint64_t t = 0; t < labels_per_frame.size(); ++t)
    for (uint16_t label : labels_per_frame[t]) {
      if (label == 0) continue;
      frames_[label].push_back(t);
      ++vertex_count_;
    }
  for (uint64_t label = 1; label < kLabelCount; ++label)
    if (!frames_[label].empty()) labels_.push_back(static_cast<uint16_t>(label));
}

std::vector<Edge> BuildEdges(const std::vector<TrackLine>& tracks, const Presence& presence) {
  std::vector<Edge> edges;
  for (uint16_t label : presence.Labels()) {
    const std::vector<uint64_t>& frames = presence.Frames(label);
    for (size_t k = 1; k < frames.size(); ++k)
      edges.push_back({{frames[k - 1], label}, {frames[k], label}, LinkKind::kTrack});
  }
  for (const TrackLine& track : tracks) {
    if (track.parent == 0 || track.parent >= kLabelCount || track.label >= kLabelCount) continue;
    const auto child = static_cast<uint16_t>(track.label);
    const auto parent = static_cast<uint16_t>(track.parent);
    if (presence.Frames(parent).empty() || presence.Frames(child).empty()) continue;
    edges.push_back({{presence.Frames(parent).back(), parent},
                     {presence.Frames(child).front(), child},
                     LinkKind::kParent});
  }
  return edges;
}

}  // namespace trel::tool
