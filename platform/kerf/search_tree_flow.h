// The search-tree max-flow of Boykov and Kolmogorov (PAMI 2004) on a padded grid, with the
// dynamic reuse of Kohli and Torr (ICCV 2005): the residual graph and both search trees are
// kept between solves and repaired when terminal capacities change. Shared by the two-phase
// and the label-preserving solvers; the labels are optional. See the notes above the class.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#include "grid_geometry.h"
#include "kerf/exceptions.h"
#include "node_buffer.h"

namespace Kerf::Flow::Grid::detail {

struct NoLabel {};

// How it works. Two trees grow from the terminals through residual edges (growth), a
// connecting edge yields an augmenting path (augmentation), and the nodes cut off by saturated
// edges look for a new parent in their tree (adoption), checked with the time-stamp and distance
// marks of the paper. When terminal capacities change after a solve,
// the residual terminal capacity of each node moves by the change of (source - sink); nodes
// whose new residual no longer fits their tree become roots of the other tree, orphans, or
// active nodes that reach their own other terminal, and the search resumes from that state.
//
// Each node keeps only its net terminal residual tr (> 0 towards the source, < 0 towards the
// sink). Any state reached by pushing flow along residual edges is the flow of the graph with
// a constant added to both terminal capacities of some nodes, which changes no cut, and the flow
// of the caller's graph is always (sum of source capacities) - (sum of positive tr). Two
// consequences are used: before the trees exist, flow is pushed straight from every node with
// source residual to its neighbours with sink residual, which settles most of a region term's
// flow in one sweep; and only the source tree needs to be complete at the end (it is the set of
// nodes reachable from the source, the reported cut), so at a start only source roots are made
// active and the sink tree grows only where orphans are freed. With region terms most nodes are
// sink roots that never have to be looked at.
//
// Layout: the state of a node (residual terminal capacity, tree, parent, marks, label) is one
// 16-byte record, so that looking at a neighbour costs one cache line; residual edge capacities
// are a separate array, node-major. Optional labels (TLabel other than NoLabel) ride on the
// source tree as described in kerf/tavrin_labels.h.

template <class TCap, class TTerm, class TLabel>
class SearchTreeFlow {
 public:
  static constexpr bool kLabelled = !std::is_same_v<TLabel, NoLabel>;
  using Index = uint32_t;

  // reuse: keep the residual graph and the trees between solves on the same edges.
  explicit SearchTreeFlow(bool reuse) : reuse_(reuse) {}

  // Allocates the node and edge arrays for `geometry`; every capacity becomes 0.
  void SetGrid(GridGeometry geometry) {
    geometry_ = std::move(geometry);
    K_ = geometry_.Directions();
    const size_t padded = geometry_.PaddedNodes();
    rc_.Resize(padded * K_);
    node_.Resize(padded);
    net_.Resize(geometry_.Nodes());
    queue_.Resize(padded + 1);
    // Padding nodes keep no capacity, so no search ever enters them.
    geometry_.ForEachPaddingRun([&](size_t begin, size_t end) {
      std::fill(rc_.data() + begin * K_, rc_.data() + end * K_, TCap(0));
    });
    source_total_ = 0;
    edges_loaded_ = false;
    terminals_set_ = false;
    fresh_ = true;
    solved_ = false;
    grid_set_ = true;
  }

  // capacities[node * given + k] for the caller's directions; edges leaving the grid get 0.
  void SetEdgeCapacities(const char* method, const TCap* capacities) {
    const size_t given = RequireGrid(method).GivenDirections();
    for (size_t i = 0; i < geometry_.Nodes() * given; ++i) CheckCapacity(method, capacities[i]);
    LoadEdges([&](size_t node, size_t k) { return capacities[node * given + k]; });
  }

  // capacities[k] along every edge of direction k.
  void SetDirectionCapacities(const char* method, const TCap* capacities) {
    const size_t given = RequireGrid(method).GivenDirections();
    for (size_t k = 0; k < given; ++k) CheckCapacity(method, capacities[k]);
    LoadUniformEdges(capacities);
  }

  // New terminal capacities. After a solve on the same edges (and with reuse) the trees are
  // repaired at once; otherwise the next solve starts afresh. Cost O(nodes).
  void SetTerminalCapacities(const char* method, const TTerm* source, const TTerm* sink) {
    RequireGrid(method);
    // Float values cannot overflow a double sum, so the sum is finite exactly when every value
    // is; checked before anything changes, since a repair cannot be undone.
    double source_total = 0, sink_total = 0;
    for (size_t i = 0; i < geometry_.Nodes(); ++i) {
      source_total += source[i];
      sink_total += sink[i];
    }
    if (!std::isfinite(source_total + sink_total))
      throw System::ArgumentException(method, __LINE__, "Terminal capacities must be finite.");
    if (solved_ && !fresh_ && !reuse_) RestartFromOriginalEdges();
    const bool repair = solved_ && !fresh_;
    if (repair) ++time_;
    turned_.clear();
    geometry_.ForEachNode([&](size_t node, size_t p, size_t, size_t, size_t) {
      const TTerm net = source[node] - sink[node];
      if (repair && net != net_[node]) {
        const TTerm before = node_[p].tr;
        node_[p].tr += net - net_[node];
        if ((before > 0) != (node_[p].tr > 0) || (before < 0) != (node_[p].tr < 0))
          turned_.push_back(static_cast<Index>(p));
        Reclassify(static_cast<Index>(p), node);
      }
      net_[node] = net;
    });
    // The same local pushes as at a fresh start settle most of the change next to where it
    // happened.
    if (repair) PushAroundTurned();
    source_total_ = source_total;
    terminals_set_ = true;
  }

  // The labels that seed the source tree (labelled solvers only), one per node.
  void SetSeeds(const TLabel* seeds) { seeds_ = seeds; }

  // Runs the search to the end and returns the flow: the source capacity minus what is left of
  // it. Cost: the augmentations, each O(path length), plus O(nodes * K) to start.
  double Solve(const char* method) {
    RequireGrid(method);
    if (!terminals_set_)
      throw System::ArgumentException(method, __LINE__,
                                      "The terminal capacities must be set before the flow.");
    if (fresh_) StartFresh();
    AdoptOrphans();
    Search();
    fresh_ = false;
    solved_ = true;
    double left = 0;
    geometry_.ForEachNode(
        [&](size_t, size_t p, size_t, size_t, size_t) { left += std::max(node_[p].tr, TTerm(0)); });
    return source_total_ - left;
  }

  const GridGeometry& Geometry() const { return geometry_; }
  bool InSource(size_t padded) const { return (node_[padded].tree & kTreeMask) == kSource; }
  // Residual capacity of the edge from padded node p along direction k.
  TCap Residual(size_t p, size_t k) const { return rc_[p * K_ + k]; }
  // The label carried by a source-tree node (labelled solvers only).
  TLabel Colour(size_t padded) const { return node_[padded].colour; }
  bool Solved() const { return solved_; }

 private:
  enum : uint8_t { kFree = 0, kSource = 1, kSink = 2, kTreeMask = 3, kActive = 4 };
  // Node::parent holds the direction towards the parent, or one of these markers.
  static constexpr uint8_t kOrphan = 0xFD, kTerminal = 0xFE, kNoParent = 0xFF;
  static constexpr uint32_t kInfiniteDistance = std::numeric_limits<uint32_t>::max();
  static constexpr int kOwnTerminals = -1, kNoPath = -2;

  struct Node {
    TTerm tr;       // residual terminal capacity: > 0 to the source, < 0 to the sink
    uint32_t ts;    // time stamp of the distance mark
    uint32_t dist;  // distance to the terminal when marked
    uint8_t tree;   // tree and active flag
    uint8_t parent;
    [[no_unique_address]] TLabel colour;  // label of a source-tree node
  };

  // A found augmenting path: s_end in the source tree, t_end in the sink tree, joined by the
  // edge along k from s_end; kOwnTerminals means one node that reaches both terminals itself.
  struct Path {
    Index s_end = 0, t_end = 0;
    int k = kNoPath;
  };

  const GridGeometry& RequireGrid(const char* method) const {
    if (!grid_set_)
      throw System::ArgumentException(method, __LINE__, "The grid must be set first.");
    return geometry_;
  }

  static void CheckCapacity(const char* method, TCap c) {
    if (!(c >= TCap(0)))
      throw System::ArgumentException(method, __LINE__,
                                      "Edge capacities must be non-negative numbers.");
  }

  // Writes every edge entry of every real node: the capacity inside the grid, 0 for edges that
  // leave it. Padding entries stay 0 from SetGrid, since no flow ever reaches them.
  template <class Capacity>
  void LoadEdges(Capacity&& capacity) {
    const size_t given = geometry_.GivenDirections();
    const size_t x_size = geometry_.Dims()[0];
    std::vector<size_t> begin(K_), end(K_);
    geometry_.ForEachRow([&](size_t node, size_t p, size_t y, size_t z) {
      for (size_t k = 0; k < K_; ++k) {
        begin[k] = end[k] = 0;
        if (k < given) geometry_.InsideRange(y, z, k, begin[k], end[k]);
      }
      for (size_t x = 0; x < x_size; ++x) {
        TCap* r = &rc_[(p + x) * K_];
        for (size_t k = 0; k < K_; ++k)
          r[k] = x >= begin[k] && x < end[k] ? capacity(node + x, k) : TCap(0);
      }
    });
    if (!reuse_) original_.assign(rc_.data(), rc_.data() + rc_.size());
    edges_loaded_ = true;
    fresh_ = true;
    solved_ = false;
  }

  // LoadEdges for capacities that depend on the direction only: the nodes of a row whose every
  // neighbour lies inside the grid get one whole record copied, which keeps the set-up of a large
  // grid at the speed of memory.
  void LoadUniformEdges(const TCap* capacities) {
    const size_t given = geometry_.GivenDirections();
    const size_t x_size = geometry_.Dims()[0];
    std::vector<TCap> record(K_, TCap(0));
    std::copy(capacities, capacities + given, record.begin());
    std::vector<size_t> begin(K_, 0), end(K_, 0);
    geometry_.ForEachRow([&](size_t, size_t p, size_t y, size_t z) {
      size_t inner_begin = 0, inner_end = x_size;
      for (size_t k = 0; k < given; ++k) {
        geometry_.InsideRange(y, z, k, begin[k], end[k]);
        inner_begin = std::max(inner_begin, begin[k]);
        inner_end = std::min(inner_end, end[k]);
      }
      inner_end = std::max(inner_begin, inner_end);
      const auto edge_node = [&](size_t x) {
        TCap* r = &rc_[(p + x) * K_];
        for (size_t k = 0; k < K_; ++k) r[k] = x >= begin[k] && x < end[k] ? record[k] : TCap(0);
      };
      for (size_t x = 0; x < inner_begin; ++x) edge_node(x);
      for (size_t x = inner_begin; x < inner_end; ++x)
        std::copy(record.begin(), record.end(), &rc_[(p + x) * K_]);
      for (size_t x = inner_end; x < x_size; ++x) edge_node(x);
    });
    if (!reuse_) original_.assign(rc_.data(), rc_.data() + rc_.size());
    edges_loaded_ = true;
    fresh_ = true;
    solved_ = false;
  }

  void RestartFromOriginalEdges() {
    std::copy(original_.begin(), original_.end(), rc_.data());
    fresh_ = true;
  }

  // ---- tree bookkeeping ----

  uint8_t TreeOf(Index p) const { return node_[p].tree & kTreeMask; }
  void SetTree(Index p, uint8_t tree) {
    node_[p].tree = static_cast<uint8_t>((node_[p].tree & kActive) | tree);
  }

  void Activate(Index p) {
    if (node_[p].tree & kActive) return;
    node_[p].tree |= kActive;
    queue_[tail_] = p;
    tail_ = tail_ + 1 == queue_.size() ? 0 : tail_ + 1;
  }

  void MakeRoot(Index p, uint8_t tree) {
    SetTree(p, tree);
    node_[p].parent = kTerminal;
    node_[p].ts = time_;
    node_[p].dist = 1;
  }

  void MakeOrphan(Index p) {
    node_[p].parent = kOrphan;
    orphans_.push_back(p);
  }

  // Joins q to p's tree as p's child; k is the direction from q to p.
  void Grow(Index q, Index p, uint8_t tree, uint8_t k) {
    Node& n = node_[q];
    n.tree = static_cast<uint8_t>((n.tree & kActive) | tree);
    n.parent = k;
    n.ts = node_[p].ts;
    n.dist = node_[p].dist + 1;
  }

  TLabel SeedOf(size_t node) const {
    if constexpr (kLabelled) return seeds_ != nullptr ? seeds_[node] : TLabel(0);
    return TLabel();
  }

  // A node that enters the source tree as a root starts its own label.
  void StartLabel(Index p, size_t node) {
    if constexpr (kLabelled) node_[p].colour = SeedOf(node);
  }

  // A node that grows from `from` carries its label, or its own seed when `from` has none.
  void InheritLabel(Index p, Index from) {
    if constexpr (kLabelled) {
      const TLabel c = node_[from].colour;
      node_[p].colour = c != TLabel(0) ? c : SeedOf(geometry_.NodeOf(p));
    }
  }

  bool SameLabel(Index p, Index q) const {
    if constexpr (kLabelled) return node_[p].colour == node_[q].colour;
    return true;
  }

  // ---- start and repair ----

  // Writes every node record once: padding nodes blank, real nodes with their terminal
  // residual after the pass over neighbours, as roots of the tree their residual points to.
  void StartFresh() {
    if (!edges_loaded_) LoadEdges([](size_t, size_t) { return TCap(0); });
    geometry_.ForEachPaddingRun([&](size_t begin, size_t end) {
      for (size_t p = begin; p < end; ++p) Clear(node_[p], TTerm(0));
    });
    geometry_.ForEachNode(
        [&](size_t node, size_t p, size_t, size_t, size_t) { Clear(node_[p], net_[node]); });
    head_ = tail_ = 0;
    orphans_.clear();
    time_ = 0;
    PushToNeighbours();
    geometry_.ForEachNode([&](size_t node, size_t p, size_t, size_t, size_t) {
      const TTerm t = node_[p].tr;
      if (t > 0) {
        MakeRoot(static_cast<Index>(p), kSource);
        StartLabel(static_cast<Index>(p), node);
        Activate(static_cast<Index>(p));
      } else if (t < 0) {
        MakeRoot(static_cast<Index>(p), kSink);
      }
    });
  }

  // A free node with terminal residual tr. Field by field: a copy of a whole record compiles to
  // overlapping unaligned stores that cost several times as much.
  static void Clear(Node& n, TTerm tr) {
    n.tr = tr;
    n.ts = 0;
    n.dist = 0;
    n.tree = kFree;
    n.parent = kNoParent;
  }

  // Saturates the paths source -> p -> q -> sink between neighbours in one sweep before any tree
  // exists. With region terms most flow is local, and these paths are then found without the
  // cost of growth, augmentation bookkeeping and adoption.
  void PushToNeighbours() {
    const int64_t* delta = geometry_.Deltas();
    const uint8_t* sister = geometry_.Sisters();
    geometry_.ForEachNode([&](size_t, size_t p, size_t, size_t, size_t) {
      TTerm& tp = node_[p].tr;
      TCap* r = &rc_[p * K_];
      for (size_t k = 0; k < K_ && tp > 0; ++k) {
        if (!(r[k] > 0)) continue;
        const size_t q = static_cast<size_t>(static_cast<int64_t>(p) + delta[k]);
        TTerm& tq = node_[q].tr;
        if (!(tq < 0)) continue;
        const TTerm f = std::min<TTerm>(std::min<TTerm>(tp, r[k]), -tq);
        r[k] -= f;
        rc_[q * K_ + sister[k]] += f;
        tp -= f;
        tq += f;
      }
    });
  }

  // The local pushes of a repair. A solved flow leaves no residual edge from a node with source
  // residual to one with sink residual, and edges do not change between solves: every such pair
  // after new terminal capacities has a node whose residual turned (changed sign or left or
  // reached zero). Only the pairs at those nodes are looked at, not the whole grid.
  void PushAroundTurned() {
    const int64_t* delta = geometry_.Deltas();
    const uint8_t* sister = geometry_.Sisters();
    auto push = [&](size_t p, size_t q, size_t k) {
      TTerm& tp = node_[p].tr;
      TTerm& tq = node_[q].tr;
      TCap& r = rc_[p * K_ + k];
      if (!(tp > 0) || !(tq < 0) || !(r > 0)) return;
      const TTerm f = std::min<TTerm>(std::min<TTerm>(tp, r), -tq);
      r -= f;
      rc_[q * K_ + sister[k]] += f;
      tp -= f;
      tq += f;
      AfterRepairPush(static_cast<Index>(p), static_cast<Index>(q), k);
    };
    for (const Index t : turned_) {
      const size_t p = t;
      for (size_t k = 0; k < K_; ++k) {
        const size_t q = static_cast<size_t>(static_cast<int64_t>(p) + delta[k]);
        if (node_[p].tr > 0)
          push(p, q, k);
        else if (node_[p].tr < 0)
          push(q, p, sister[k]);
      }
    }
  }

  // A push from p to q along k may have saturated a tree edge or used up a root's terminal link,
  // which orphans the node below; and it opened the reverse edge q -> p, which leads out of the
  // source tree when q is in it and p is not: q then becomes active so that the search looks at
  // that edge.
  void AfterRepairPush(Index p, Index q, size_t k) {
    const uint8_t* sister = geometry_.Sisters();
    if (rc_[static_cast<size_t>(p) * K_ + k] == 0) {
      if (TreeOf(q) == kSource && node_[q].parent == sister[k]) MakeOrphan(q);
      if (TreeOf(p) == kSink && node_[p].parent == k) MakeOrphan(p);
    }
    if (node_[p].tr == 0 && node_[p].parent == kTerminal && TreeOf(p) == kSource) MakeOrphan(p);
    if (node_[q].tr == 0 && node_[q].parent == kTerminal && TreeOf(q) == kSink) MakeOrphan(q);
    if (TreeOf(q) == kSource && TreeOf(p) != kSource) Activate(q);
  }

  // Puts node p, whose residual terminal capacity may have changed, back into a state the search
  // accepts: a positive residual makes it a source root (or, in the sink tree, an active node
  // with a path of its own), a negative one the mirror image, and a zero one takes away a root's
  // link to its terminal.
  void Reclassify(Index p, size_t node) {
    const TTerm t = node_[p].tr;
    const uint8_t tree = TreeOf(p);
    if (t > 0)
      Reclassify(p, node, tree, kSource, kSink);
    else if (t < 0)
      Reclassify(p, node, tree, kSink, kSource);
    else if (node_[p].parent == kTerminal)
      MakeOrphan(p);
  }

  // `own` is the tree whose terminal p now has residual capacity to, `other` the opposite one.
  void Reclassify(Index p, size_t node, uint8_t tree, uint8_t own, uint8_t other) {
    if (tree == own) {
      if (node_[p].parent != kTerminal) MakeRoot(p, own);
    } else if (tree == other) {
      if (node_[p].parent == kTerminal) MakeOrphan(p);
      Activate(p);
    } else {  // free; as at a fresh start, only the source tree grows from its new roots
      MakeRoot(p, own);
      if (own == kSource) {
        StartLabel(p, node);
        Activate(p);
      }
    }
  }

  // ---- growth ----

  void Search() {
    while (head_ != tail_) {
      const Index p = queue_[head_];
      if (TreeOf(p) != kFree) {
        const Path path = Grow(p);
        if (path.k != kNoPath) {
          Augment(path);
          ++time_;
          AdoptOrphans();
          continue;  // p stays at the front: it may have further paths
        }
      }
      node_[p].tree &= static_cast<uint8_t>(~kActive);
      head_ = head_ + 1 == queue_.size() ? 0 : head_ + 1;
    }
  }

  // The distance heuristic of the paper: a neighbour of the same tree whose mark is not newer
  // and whose way to the terminal is longer takes p as its parent.
  bool ShorterThrough(const Node& q, const Node& p) const {
    return q.ts <= p.ts && q.dist > p.dist;
  }

  // The common neighbourhood sizes get loops of fixed length, which the compiler unrolls.
  Path Grow(Index p) {
    const bool source = TreeOf(p) == kSource;
    switch (K_) {
      case 4:
        return source ? GrowSource<4>(p) : GrowSink<4>(p);
      case 6:
        return source ? GrowSource<6>(p) : GrowSink<6>(p);
      case 8:
        return source ? GrowSource<8>(p) : GrowSink<8>(p);
      default:
        return source ? GrowSource<0>(p) : GrowSink<0>(p);
    }
  }

  template <size_t kFixedK>
  Path GrowSource(Index p) {
    if (node_[p].tr < 0) return Path{p, p, kOwnTerminals};
    const size_t K = kFixedK != 0 ? kFixedK : K_;
    const TCap* r = &rc_[static_cast<size_t>(p) * K];
    const int64_t* delta = geometry_.Deltas();
    const uint8_t* sister = geometry_.Sisters();
    for (size_t k = 0; k < K; ++k) {
      if (!(r[k] > 0)) continue;
      const Index q = static_cast<Index>(p + delta[k]);
      const uint8_t tq = TreeOf(q);
      if (tq == kFree) {
        Grow(q, p, kSource, sister[k]);
        InheritLabel(q, p);
        Activate(q);
      } else if (tq == kSink) {
        return Path{p, q, static_cast<int>(k)};
      } else if (ShorterThrough(node_[q], node_[p]) && SameLabel(p, q)) {
        Grow(q, p, kSource, sister[k]);
      }
    }
    return Path{};
  }

  // The residual edge q -> p is read only when q could use it: most neighbours of a sink node
  // are sink nodes already, and their edge entries are then never touched.
  template <size_t kFixedK>
  Path GrowSink(Index p) {
    if (node_[p].tr > 0) return Path{p, p, kOwnTerminals};
    const size_t K = kFixedK != 0 ? kFixedK : K_;
    const int64_t* delta = geometry_.Deltas();
    const uint8_t* sister = geometry_.Sisters();
    for (size_t k = 0; k < K; ++k) {
      const Index q = static_cast<Index>(p + delta[k]);
      const uint8_t tq = TreeOf(q);
      if (tq == kSink && !ShorterThrough(node_[q], node_[p])) continue;
      if (!(rc_[static_cast<size_t>(q) * K + sister[k]] > 0)) continue;
      if (tq == kFree) {
        Grow(q, p, kSink, sister[k]);
        Activate(q);
      } else if (tq == kSource) {
        return Path{q, p, static_cast<int>(sister[k])};
      } else {
        Grow(q, p, kSink, sister[k]);
      }
    }
    return Path{};
  }

  // ---- augmentation ----

  // Smallest residual on the way from u up to the source, the root's terminal residual included.
  TTerm SourceChainBottleneck(Index u, TTerm bottleneck) const {
    const int64_t* delta = geometry_.Deltas();
    const uint8_t* sister = geometry_.Sisters();
    while (node_[u].parent != kTerminal) {
      const uint8_t a = node_[u].parent;
      const Index v = static_cast<Index>(u + delta[a]);
      bottleneck = std::min<TTerm>(bottleneck, rc_[static_cast<size_t>(v) * K_ + sister[a]]);
      u = v;
    }
    return std::min(bottleneck, node_[u].tr);
  }

  TTerm SinkChainBottleneck(Index u, TTerm bottleneck) const {
    const int64_t* delta = geometry_.Deltas();
    while (node_[u].parent != kTerminal) {
      const uint8_t a = node_[u].parent;
      bottleneck = std::min<TTerm>(bottleneck, rc_[static_cast<size_t>(u) * K_ + a]);
      u = static_cast<Index>(u + delta[a]);
    }
    return std::min(bottleneck, -node_[u].tr);
  }

  // Pushes f from the source down to u; edges and the root link that saturate orphan the node
  // below them.
  void PushSourceChain(Index u, TTerm f) {
    const int64_t* delta = geometry_.Deltas();
    const uint8_t* sister = geometry_.Sisters();
    while (node_[u].parent != kTerminal) {
      const uint8_t a = node_[u].parent;
      const Index v = static_cast<Index>(u + delta[a]);
      TCap& forward = rc_[static_cast<size_t>(v) * K_ + sister[a]];
      forward -= f;
      rc_[static_cast<size_t>(u) * K_ + a] += f;
      if (forward == 0) MakeOrphan(u);
      u = v;
    }
    node_[u].tr -= f;
    if (node_[u].tr == 0) MakeOrphan(u);
  }

  void PushSinkChain(Index u, TTerm f) {
    const int64_t* delta = geometry_.Deltas();
    const uint8_t* sister = geometry_.Sisters();
    while (node_[u].parent != kTerminal) {
      const uint8_t a = node_[u].parent;
      const Index v = static_cast<Index>(u + delta[a]);
      TCap& forward = rc_[static_cast<size_t>(u) * K_ + a];
      forward -= f;
      rc_[static_cast<size_t>(v) * K_ + sister[a]] += f;
      if (forward == 0) MakeOrphan(u);
      u = v;
    }
    node_[u].tr += f;
    if (node_[u].tr == 0) MakeOrphan(u);
  }

  void Augment(const Path& path) {
    const Index s = path.s_end, t = path.t_end;
    if (path.k >= 0) {
      TCap& middle = rc_[static_cast<size_t>(s) * K_ + path.k];
      const TTerm f = SinkChainBottleneck(t, SourceChainBottleneck(s, middle));
      middle -= f;
      rc_[static_cast<size_t>(t) * K_ + geometry_.Sisters()[path.k]] += f;
      PushSourceChain(s, f);
      PushSinkChain(t, f);
    } else if (TreeOf(s) == kSource) {  // a source-tree node with sink capacity of its own
      const TTerm f = SourceChainBottleneck(s, -node_[s].tr);
      node_[s].tr += f;
      PushSourceChain(s, f);
    } else {  // a sink-tree node with source capacity of its own
      const TTerm f = SinkChainBottleneck(s, node_[s].tr);
      node_[s].tr -= f;
      PushSinkChain(s, f);
    }
  }

  // ---- adoption ----

  // Distance from p to its terminal through parents, or infinite when the way meets an orphan;
  // marks the nodes on a valid way with the current time and their distance.
  uint32_t DistanceToTerminal(Index p) {
    const int64_t* delta = geometry_.Deltas();
    uint32_t d = 0;
    Index u = p;
    for (;;) {
      Node& n = node_[u];
      // An orphan may carry a mark of the current time from before it lost its parent (a repair
      // marks new roots, and a push may orphan them again), so it is tested first.
      if (n.parent == kOrphan) return kInfiniteDistance;
      if (n.ts == time_) {
        d += n.dist;
        break;
      }
      ++d;
      if (n.parent == kTerminal) {
        n.ts = time_;
        n.dist = 1;
        break;
      }
      u = static_cast<Index>(u + delta[n.parent]);
    }
    const uint32_t found = d;
    for (u = p; node_[u].ts != time_; u = static_cast<Index>(u + delta[node_[u].parent])) {
      node_[u].ts = time_;
      node_[u].dist = d--;
    }
    return found;
  }

  void AdoptOrphans() {
    for (size_t i = 0; i < orphans_.size(); ++i) {
      const Index q = orphans_[i];
      if (node_[q].parent != kOrphan) continue;
      if (TreeOf(q) == kSource)
        AdoptSourceOrphan(q);
      else
        AdoptSinkOrphan(q);
    }
    orphans_.clear();
  }

  void AdoptSourceOrphan(Index q) {
    if (node_[q].tr > 0) return MakeRoot(q, kSource);
    const int64_t* delta = geometry_.Deltas();
    const uint8_t* sister = geometry_.Sisters();
    uint32_t best = kInfiniteDistance;
    uint8_t best_k = kNoParent;
    for (size_t k = 0; k < K_; ++k) {
      const Index p = static_cast<Index>(q + delta[k]);
      if (TreeOf(p) != kSource || !SameLabel(p, q) ||
          !(rc_[static_cast<size_t>(p) * K_ + sister[k]] > 0))
        continue;
      const uint32_t d = DistanceToTerminal(p);
      if (d < best) {
        best = d;
        best_k = static_cast<uint8_t>(k);
      }
    }
    if (best_k != kNoParent) return Attach(q, best_k, best);
    for (size_t k = 0; k < K_; ++k) {
      const Index p = static_cast<Index>(q + delta[k]);
      if (TreeOf(p) != kSource) continue;
      if (rc_[static_cast<size_t>(p) * K_ + sister[k]] > 0) Activate(p);
      if (node_[p].parent == sister[k]) MakeOrphan(p);
    }
    Release(q, node_[q].tr < 0, kSink);
  }

  void AdoptSinkOrphan(Index q) {
    if (node_[q].tr < 0) return MakeRoot(q, kSink);
    const int64_t* delta = geometry_.Deltas();
    const uint8_t* sister = geometry_.Sisters();
    uint32_t best = kInfiniteDistance;
    uint8_t best_k = kNoParent;
    for (size_t k = 0; k < K_; ++k) {
      const Index p = static_cast<Index>(q + delta[k]);
      if (TreeOf(p) != kSink || !(rc_[static_cast<size_t>(q) * K_ + k] > 0)) continue;
      const uint32_t d = DistanceToTerminal(p);
      if (d < best) {
        best = d;
        best_k = static_cast<uint8_t>(k);
      }
    }
    if (best_k != kNoParent) return Attach(q, best_k, best);
    for (size_t k = 0; k < K_; ++k) {
      const Index p = static_cast<Index>(q + delta[k]);
      if (TreeOf(p) != kSink) continue;
      if (rc_[static_cast<size_t>(q) * K_ + k] > 0) Activate(p);
      if (node_[p].parent == sister[k]) MakeOrphan(p);
    }
    Release(q, node_[q].tr > 0, kSource);
  }

  void Attach(Index q, uint8_t k, uint32_t parent_distance) {
    node_[q].parent = k;
    node_[q].ts = time_;
    node_[q].dist = parent_distance + 1;
  }

  // An orphan without a parent leaves its tree; when it has capacity to the other terminal it
  // becomes a root of the other tree at once.
  void Release(Index q, bool other_root, uint8_t other) {
    if (other_root) {
      MakeRoot(q, other);
      if (other == kSource) StartLabel(q, geometry_.NodeOf(q));
      Activate(q);
    } else {
      SetTree(q, kFree);
      node_[q].parent = kNoParent;
    }
  }

  GridGeometry geometry_;
  size_t K_ = 0;
  bool reuse_;
  bool grid_set_ = false;
  bool fresh_ = true;
  bool solved_ = false;
  bool terminals_set_ = false;
  bool edges_loaded_ = false;

  NodeBuffer<TCap> rc_;         // residual capacity of the edge from node p along k: p * K + k
  std::vector<TCap> original_;  // the capacities as loaded, kept only without reuse
  NodeBuffer<Node> node_;       // per padded node
  NodeBuffer<TTerm> net_;       // source - sink capacity as last given, per caller's node
  double source_total_ = 0;
  uint32_t time_ = 0;

  NodeBuffer<Index> queue_;  // active nodes, a ring: each node is in it at most once
  size_t head_ = 0, tail_ = 0;
  std::vector<Index> orphans_;
  std::vector<Index> turned_;  // nodes whose residual turned in the last repair

  const TLabel* seeds_ = nullptr;
};

}  // namespace Kerf::Flow::Grid::detail
