// AOGM counting: vertices from the per-frame matchings; edges by mapping every result link
// through the unique matches of its ends and looking the mapped link up in a hash table of the
// reference links.
#include "aogm.h"

#include <algorithm>
#include <unordered_map>

namespace trel::tool {

namespace {

struct EdgeKey {
  uint64_t from_frame, to_frame;
  uint16_t from_label, to_label;
  friend bool operator==(const EdgeKey& a, const EdgeKey& b) {
    return a.from_frame == b.from_frame && a.to_frame == b.to_frame &&
           a.from_label == b.from_label && a.to_label == b.to_label;
  }
};

struct EdgeKeyHash {
  size_t operator()(const EdgeKey& k) const {
    constexpr uint64_t kMix = 0x9e3779b97f4a7c15ull;
    uint64_t h = k.from_frame;
    h = h * kMix ^ k.to_frame;
    h = h * kMix ^ k.from_label;
    h = h * kMix ^ k.to_label;
    return static_cast<size_t>(h * kMix);
  }
};

struct ReferenceLink {
  LinkKind kind;
  bool found = false;
};

// Maps a result vertex to its unique reference counterpart; 0 when there is none.
uint16_t Counterpart(const std::vector<FrameMatching>& frames, const Vertex& v) {
  return v.frame < frames.size() ? frames[v.frame].UniqueMatchOf(v.label) : 0;
}

double Normalised(double cost, double empty_cost) {
  return 1.0 - std::min(cost, empty_cost) / empty_cost;
}

}  // namespace

double AogmCounts::VertexCost() const {
  return kSplitCost * static_cast<double>(splits) +
         kFalseNegativeCost * static_cast<double>(false_negatives) +
         kFalsePositiveCost * static_cast<double>(false_positives);
}

double AogmCounts::EdgeCost() const {
  return kEdgeDeleteCost * static_cast<double>(edges_deleted) +
         kEdgeAddCost * static_cast<double>(edges_added) +
         kEdgeSemanticCost * static_cast<double>(edges_semantic);
}

double AogmCounts::Cost() const {
  return VertexCost() + EdgeCost();
}

double AogmCounts::EmptyVertexCost() const {
  return kFalseNegativeCost * static_cast<double>(reference_vertices);
}

double AogmCounts::EmptyEdgeCost() const {
  return kEdgeAddCost * static_cast<double>(reference_edges);
}

double AogmCounts::EmptyCost() const {
  return EmptyVertexCost() + EmptyEdgeCost();
}

std::optional<double> AogmCounts::Det() const {
  if (reference_vertices == 0) return std::nullopt;
  return Normalised(VertexCost(), EmptyVertexCost());
}

std::optional<double> AogmCounts::Lnk() const {
  if (!has_edges || reference_edges == 0) return std::nullopt;
  return Normalised(EdgeCost(), EmptyEdgeCost());
}

std::optional<double> AogmCounts::Tra() const {
  if (!has_edges || reference_vertices == 0) return std::nullopt;
  return Normalised(Cost(), EmptyCost());
}

void CountVertexErrors(const std::vector<FrameMatching>& frames, AogmCounts& counts) {
  for (const FrameMatching& frame : frames) {
    counts.reference_vertices += frame.reference.size();
    for (uint16_t match : frame.matched_by)
      if (match == 0) ++counts.false_negatives;
    for (uint32_t n : frame.matches) {
      if (n == 0) ++counts.false_positives;
      if (n > 1) counts.splits += n - 1;
    }
  }
}

void CountEdgeErrors(const std::vector<FrameMatching>& frames, const std::vector<Edge>& reference,
                     const std::vector<Edge>& result, AogmCounts& counts) {
  std::unordered_map<EdgeKey, ReferenceLink, EdgeKeyHash> links;
  links.reserve(reference.size());
  for (const Edge& e : reference)
    links[{e.from.frame, e.to.frame, e.from.label, e.to.label}] = {e.kind};
  counts.reference_edges = links.size();
  counts.has_edges = true;

  for (const Edge& e : result) {
    const uint16_t from = Counterpart(frames, e.from);
    const uint16_t to = Counterpart(frames, e.to);
    if (!from || !to) continue;  // gone with a vertex operation
    const auto it = links.find({e.from.frame, e.to.frame, from, to});
    if (it == links.end()) {
      ++counts.edges_deleted;
      continue;
    }
    it->second.found = true;
    if (it->second.kind != e.kind) ++counts.edges_semantic;
  }
  for (const auto& [key, link] : links)
    if (!link.found) ++counts.edges_added;
}

}  // namespace trel::tool
