// Tracking accuracy as the cost of turning the result's graph into the reference graph (AOGM,
// Matula et al. 2015): vertex operations for splits of merged objects, missed reference objects
// and false result objects; edge operations for redundant, missing and mistyped links. DET
// normalises the vertex part by the cost of building the reference vertices from nothing, TRA the
// whole cost by the cost of building the whole reference graph.
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

  double VertexCost() const;  // AOGM-D
  double Cost() const;        // AOGM
  // DET and TRA; empty when the reference graph is empty (or, for TRA, edges were not counted).
  std::optional<double> Det() const;
  std::optional<double> Tra() const;
};

// The vertex operations over all frames. O(objects).
void CountVertexErrors(const std::vector<FrameMatching>& frames, AogmCounts& counts);

// The edge operations. A result link has a counterpart only when both its ends match exactly one
// reference object each and the reference graph links those two; links touching a false or
// merged result object are therefore deleted and the reference links they stood for added.
// O(edges) expected.
void CountEdgeErrors(const std::vector<FrameMatching>& frames, const std::vector<Edge>& reference,
                     const std::vector<Edge>& result, AogmCounts& counts);

}  // namespace trel::tool
