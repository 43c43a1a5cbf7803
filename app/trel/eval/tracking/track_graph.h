// The acyclic oriented graph of a tracking, as the accuracy measures see it: one vertex per
// label present in a frame; a track link joins successive vertices of one label, and a parent
// link joins a parent's last vertex to the first vertex of each of its daughters.
#pragma once

#include <cstdint>
#include <vector>

#include "track_file.h"

namespace trel::tool {

struct Vertex {
  uint64_t frame;
  uint16_t label;
  friend bool operator==(const Vertex& a, const Vertex& b) {
    return a.frame == b.frame && a.label == b.label;
  }
};

enum class LinkKind { kTrack, kParent };

struct Edge {
  Vertex from;
  Vertex to;
  LinkKind kind;
};

// Frames at which each label is present, in ascending order, indexed by label.
class Presence {
 public:
  // labels_per_frame[t]: the labels present in frame t (any order).
  explicit Presence(const std::vector<std::vector<uint16_t>>& labels_per_frame);
  const std::vector<uint64_t>& Frames(uint16_t label) const { return frames_[label]; }
  uint64_t VertexCount() const { return vertex_count_; }
  // Labels present in at least one frame, ascending.
  const std::vector<uint16_t>& Labels() const { return labels_; }

 private:
  std::vector<std::vector<uint64_t>> frames_;
  std::vector<uint16_t> labels_;
  uint64_t vertex_count_ = 0;
};

// Builds the edges. Parent links of a track whose parent or itself has no vertex are left out,
// as are tracks whose labels do not fit 16 bits. O(vertices + tracks).
std::vector<Edge> BuildEdges(const std::vector<TrackLine>& tracks, const Presence& presence);

}  // namespace trel::tool
