// Spreading labels over a grid graph from all labelled nodes at once. SpreadLabels is the last
// pass of the label-preserving max-flow: by breadth-first search, source-side nodes whose search
// tree carried no label take the label of the nearest labelled source-side node (an edge counts
// when it has capacity in either direction); nodes outside the source side, and source-side nodes
// no label reaches, get 0. NearestLabels gives every node the label of the nearest labelled node
// along the grid's directions: the zones in which each region's own mean sets the region terms.
// Both cost O(padded nodes + nodes * K).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "grid_geometry.h"

namespace Kerf::Flow::Grid::detail {

// flow offers Geometry(), InSource(padded), Residual(padded, k) and Colour(padded).
// work is scratch space; labels receives one label per node.
template <class Flow, class TLabel>
void SpreadLabels(const Flow& flow, std::vector<TLabel>& work, std::vector<uint32_t>& queue,
                  TLabel* labels) {
  const GridGeometry& g = flow.Geometry();
  const int64_t* delta = g.Deltas();
  const uint8_t* sister = g.Sisters();
  const size_t K = g.Directions();
  work.assign(g.PaddedNodes(), TLabel(0));
  queue.clear();
  g.ForEachNode([&](size_t, size_t p, size_t, size_t, size_t) {
    if (!flow.InSource(p)) return;
    work[p] = flow.Colour(p);
    if (work[p] != TLabel(0)) queue.push_back(static_cast<uint32_t>(p));
  });
  for (size_t i = 0; i < queue.size(); ++i) {
    const size_t p = queue[i];
    for (size_t k = 0; k < K; ++k) {
      const size_t q = static_cast<size_t>(static_cast<int64_t>(p) + delta[k]);
      if (work[q] != TLabel(0) || !flow.InSource(q)) continue;
      if (flow.Residual(p, k) > 0 || flow.Residual(q, sister[k]) > 0) {
        work[q] = work[p];
        queue.push_back(static_cast<uint32_t>(q));
      }
    }
  }
  g.ForEachNode([&](size_t node, size_t p, size_t, size_t, size_t) { labels[node] = work[p]; });
}

// labels[node] is a node's label (0 = none); nearest[node] receives the label of the nearest
// labelled node in steps along the grid's directions, 0 everywhere when no node is labelled.
// Two raster passes, one taking the directions that point back in node order and one those that
// point forward, give the exact step distance on grids whose directions are the unit steps (4 or
// 8 in the plane, 6 or 26 in space) and a close one for longer offsets; they read memory in order,
// where a breadth-first search would jump about. `distance` is scratch space.
template <class TLabel>
void NearestLabels(const GridGeometry& g, const TLabel* labels, std::vector<TLabel>& work,
                   std::vector<uint32_t>& distance, uint32_t* nearest) {
  // Padding is never relaxed, and neither it nor an unreached node passes a distance on.
  constexpr uint32_t kFar = uint32_t(1) << 30, kPadding = uint32_t(1) << 31;
  std::vector<int64_t> back, ahead;
  for (size_t k = 0; k < g.Directions(); ++k)
    (g.Deltas()[k] < 0 ? back : ahead).push_back(g.Deltas()[k]);
  distance.assign(g.PaddedNodes(), kPadding);
  work.assign(g.PaddedNodes(), TLabel(0));
  std::vector<size_t> rows;  // padded index of every row's first node
  g.ForEachRow([&](size_t, size_t padded, size_t, size_t) { rows.push_back(padded); });
  g.ForEachNode([&](size_t node, size_t p, size_t, size_t, size_t) {
    work[p] = labels[node];
    distance[p] = labels[node] != TLabel(0) ? 0 : kFar;
  });
  const auto relax = [&](size_t p, const std::vector<int64_t>& directions) {
    uint32_t best = distance[p];
    TLabel label = work[p];
    for (const int64_t d : directions) {
      const size_t q = static_cast<size_t>(static_cast<int64_t>(p) + d);
      if (distance[q] + 1 < best) {
        best = distance[q] + 1;
        label = work[q];
      }
    }
    distance[p] = best;
    work[p] = label;
  };
  const size_t width = g.Dims()[0];
  for (const size_t row : rows)
    for (size_t x = 0; x < width; ++x) relax(row + x, back);
  for (size_t r = rows.size(); r-- > 0;)
    for (size_t x = width; x-- > 0;) relax(rows[r] + x, ahead);
  g.ForEachNode([&](size_t node, size_t p, size_t, size_t, size_t) { nearest[node] = work[p]; });
}

}  // namespace Kerf::Flow::Grid::detail
