// Tracking accuracy as the cost of turning the result's graph into the reference graph (AOGM,
// Matula et al. 2015): vertex operations for splits of merged objects, missed reference objects
// and false result objects; edge operations for redundant, missing and mistyped links. DET
// normalises the vertex part by the cost of building the reference vertices from nothing, LNK the
// edge part by the cost of building the reference edges, TRA the whole cost by the cost of
// building the whole reference graph.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "object_matching.h"
#include "track_graph.h"

namespace trel::tool {

// Costs of the graph operations, as used by the community's benchmark.
inline constexpr double kSplitCost = 5.0;
inline constexpr double kFalseNegativeCost = 10.0;
inline constexpr double kFalsePositiveCost = 1.0;
inline constexpr double kEdgeDeleteCost = 1.0;
inline constexpr double kEdgeAddCost = 1.5;
inline constexpr double kEdgeSemanticCost = 1.0;

struct AogmCounts {
  uint64_t splits = 0;           // NS: extra reference objects covered by one result object
  uint64_t false_negatives = 0;  // FN: reference objects no result object matches
  uint64_t false_positives = 0;  // FP: result objects matching no reference object
  uint64_t edges_deleted = 0;    // ED: result links with no counterpart in the reference
  uint64_t edges_added = 0;      // EA: reference links with no counterpart in the result
  uint64_t edges_semantic = 0;   // EC: counterparts whose kind (track / parent link) differs
  uint64_t reference_vertices = 0;
  uint64_t reference_edges = 0;
  bool has_edges = false;  // false when only the vertex part was counted

  double VertexCost() const;       // AOGM-D
  double EdgeCost() const;         // AOGM-A
  double Cost() const;             // AOGM
  double EmptyVertexCost() const;  // AOGM-D of an empty result
  double EmptyEdgeCost() const;    // AOGM-A of an empty result
  double EmptyCost() const;        // AOGM of an empty result (AOGM_0)
  // DET, LNK and TRA; empty when the reference graph is empty (or, for LNK and TRA, edges were
  // not counted; for LNK, when the reference has no edges).
  std::optional<double> Det() const;
  std::optional<double> Lnk() const;
  std::optional<double> Tra() const;
};

// The vertex operations over all frames. O(objects).
void CountVertexErrors(const std::vector<FrameMatching>& frames, AogmCounts& counts);

// The edge operations on the result graph reduced to its vertices that match exactly one
// reference object each: a false object is deleted with its links and a merged one is split, at
// the vertex costs alone. A remaining result link is deleted when the reference does not link its
// ends' counterparts, and changes kind when the reference does with the other kind; every
// reference link without a counterpart is added. O(edges) expected.
void CountEdgeErrors(const std::vector<FrameMatching>& frames, const std::vector<Edge>& reference,
                     const std::vector<Edge>& result, AogmCounts& counts);

}  // namespace trel::tool
