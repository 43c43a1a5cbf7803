// Grid max-flow problems for the solver tests: random capacities on a grid graph, the capacity of
// a cut computed straight from the definition, and the flow of the same graph by Boost.Graph's
// Boykov-Kolmogorov max-flow on an adjacency list, the reference the solvers are held to.
#pragma once

#include <array>
#include <cstddef>
#include <random>
#include <vector>

// Warnings are ours to fix, not Boost's.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/boykov_kolmogorov_max_flow.hpp>
#pragma GCC diagnostic pop

#include "kerf/grid_max_flow.h"
#include "kerf/neighbourhood.h"
#include "kerf/vector.h"

namespace kerf_testing {

template <size_t N>
struct GridProblem {
  Kerf::Math::Algebra::Vector<N, size_t> dims;
  Kerf::Energy::Neighbourhood<N, int> nb;
  std::vector<float> edge;  // edge[p * K + k], K = nb size
  std::vector<float> source, sink;

  size_t Nodes() const {
    size_t n = 1;
    for (size_t a = 0; a < N; ++a) n *= dims[a];
    return n;
  }
  // The node at p + offset k, or false when it leaves the grid.
  bool Neighbour(size_t p, size_t k, size_t& q) const {
    size_t rest = p, stride = 1;
    q = 0;
    for (size_t a = 0; a < N; ++a) {
      const long c = static_cast<long>(rest % dims[a]) + nb[k][a];
      if (c < 0 || c >= static_cast<long>(dims[a])) return false;
      q += static_cast<size_t>(c) * stride;
      stride *= dims[a];
      rest /= dims[a];
    }
    return true;
  }
  // Index of the offset opposite to offset k (the standard sets hold every opposite).
  size_t Opposite(size_t k) const {
    for (size_t j = 0; j < nb.Elems(); ++j) {
      bool opposite = true;
      for (size_t a = 0; a < N; ++a) opposite = opposite && nb[j][a] == -nb[k][a];
      if (opposite) return j;
    }
    return nb.Elems();
  }
  void Load(Kerf::Flow::IGridMaxFlow<N, float, float, float>& solver) const {
    solver.SetGrid(dims, nb);
    solver.SetEdgeCapacities(edge.data());
    solver.SetTerminalCapacities(source.data(), sink.data());
  }
};

// Capacities uniform in [0, 1) for edges (a tenth of them 0) and [0, terminal_scale) for
// terminals, a third of the nodes tied to one terminal only.
template <size_t N>
GridProblem<N> RandomProblem(const Kerf::Math::Algebra::Vector<N, size_t>& dims, size_t nb_size,
                             unsigned seed, float terminal_scale = 2.0f) {
  GridProblem<N> g;
  g.dims = dims;
  g.nb.Common(nb_size, false);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  g.edge.resize(g.Nodes() * g.nb.Elems());
  for (float& c : g.edge) c = unit(rng) < 0.1f ? 0.0f : unit(rng);
  g.source.resize(g.Nodes());
  g.sink.resize(g.Nodes());
  for (size_t p = 0; p < g.Nodes(); ++p) {
    g.source[p] = terminal_scale * unit(rng);
    g.sink[p] = terminal_scale * unit(rng);
    const float pick = unit(rng);
    if (pick < 0.15f) g.source[p] = 0;
    if (pick > 0.85f) g.sink[p] = 0;
  }
  return g;
}

// Capacity of the cut whose source side is `side`: terminal capacities of the nodes on the wrong
// side plus the edges from the source side to the sink side.
template <size_t N>
double CutCapacity(const GridProblem<N>& g, const bool* side) {
  double cut = 0;
  for (size_t p = 0; p < g.Nodes(); ++p) {
    cut += side[p] ? g.sink[p] : g.source[p];
    if (!side[p]) continue;
    for (size_t k = 0; k < g.nb.Elems(); ++k) {
      size_t q = 0;
      if (g.Neighbour(p, k, q) && !side[q]) cut += g.edge[p * g.nb.Elems() + k];
    }
  }
  return cut;
}

// The maximum flow of the same graph by Boost.Graph.
template <size_t N>
double BoostMaxFlow(const GridProblem<N>& g) {
  using Traits = boost::adjacency_list_traits<boost::vecS, boost::vecS, boost::directedS>;
  using Graph = boost::adjacency_list<
      boost::vecS, boost::vecS, boost::directedS,
      boost::property<boost::vertex_index_t, long,
                      boost::property<boost::vertex_color_t, boost::default_color_type,
                                      boost::property<boost::vertex_distance_t, long,
                                                      boost::property<boost::vertex_predecessor_t,
                                                                      Traits::edge_descriptor>>>>,
      boost::property<
          boost::edge_capacity_t, double,
          boost::property<boost::edge_residual_capacity_t, double,
                          boost::property<boost::edge_reverse_t, Traits::edge_descriptor>>>>;
  const size_t n = g.Nodes();
  Graph graph(n + 2);
  auto capacity = boost::get(boost::edge_capacity, graph);
  auto reverse = boost::get(boost::edge_reverse, graph);
  auto add_pair = [&](size_t u, size_t v, double forward, double backward) {
    auto e = boost::add_edge(u, v, graph).first;
    auto r = boost::add_edge(v, u, graph).first;
    capacity[e] = forward;
    capacity[r] = backward;
    reverse[e] = r;
    reverse[r] = e;
  };
  const size_t s = n, t = n + 1, K = g.nb.Elems();
  for (size_t p = 0; p < n; ++p) {
    add_pair(s, p, g.source[p], 0);
    add_pair(p, t, g.sink[p], 0);
    for (size_t k = 0; k < K; ++k) {
      size_t q = 0;
      if (!g.Neighbour(p, k, q)) continue;
      // Each edge with its reverse once: the reverse is the opposite offset from q.
      const size_t back = g.Opposite(k);
      if (k < back) add_pair(p, q, g.edge[p * K + k], g.edge[q * K + back]);
    }
  }
  return boost::boykov_kolmogorov_max_flow(graph, s, t);
}

}  // namespace kerf_testing
