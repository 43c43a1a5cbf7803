// Connected components of a node set on a grid graph, by breadth-first search over the edges of
// a grid problem that carry capacity in either direction: the reference for "the component of a
// seed" in the label-preserving solver's tests.
#pragma once

#include <cstddef>
#include <vector>

#include "grid_problem.h"

namespace kerf_testing {

// component[p] = index of p's component (from 0), or -1 for nodes outside `inside`.
template <size_t N>
std::vector<int> Components(const GridProblem<N>& g, const std::vector<bool>& inside) {
  std::vector<int> component(g.Nodes(), -1);
  int next = 0;
  std::vector<size_t> queue;
  for (size_t start = 0; start < g.Nodes(); ++start) {
    if (!inside[start] || component[start] >= 0) continue;
    component[start] = next;
    queue.assign(1, start);
    for (size_t i = 0; i < queue.size(); ++i) {
      const size_t p = queue[i];
      for (size_t k = 0; k < g.nb.Elems(); ++k) {
        size_t q = 0;
        if (!g.Neighbour(p, k, q) || !inside[q] || component[q] >= 0) continue;
        const size_t K = g.nb.Elems();
        if (g.edge[p * K + k] > 0 || g.edge[q * K + g.Opposite(k)] > 0) {
          component[q] = next;
          queue.push_back(q);
        }
      }
    }
    ++next;
  }
  return component;
}

}  // namespace kerf_testing
