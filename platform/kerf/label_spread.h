// The last pass of the label-preserving max-flow: source-side nodes whose search tree carried no
// label take the label of the nearest labelled source-side node, by one breadth-first search
// from all labelled source-side nodes at once over the edges of the graph (an edge counts when
// it has capacity in either direction). Nodes outside the source side, and source-side nodes no
// label reaches, get 0. Cost O(padded nodes + nodes * K).
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

}  // namespace Kerf::Flow::Grid::detail
