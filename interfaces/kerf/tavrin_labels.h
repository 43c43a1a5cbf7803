// TavrinLabels: a label-preserving max-flow on grid graphs. An initial labelling (0 =
// background) seeds the source side; after the solve every node carries 0 or one of the initial
// labels, two labels never merge into one region, a label may vanish, and source-side nodes that
// no label reaches are background.
#pragma once

#include <cstddef>
#include <memory>

#include "kerf/array.h"
#include "kerf/export.h"
#include "kerf/grid_max_flow.h"

namespace Kerf::Flow::Grid {

// How it works: the search-tree max-flow of Kohli (Boykov-Kolmogorov, with Kohli and Torr's
// reuse between solves) in which the source trees carry labels:
//  1. A node that becomes a root of the source tree takes its initial label; a node that joins
//     a source tree by growth takes the label of the node it grew from, or its own initial label
//     when that node has none yet. So every source-side node carries the label of the tree that
//     reached it first, and the trees of two seeds that share a blob meet without mixing.
//  2. An edge between two source nodes of different labels is a barrier to the trees: an orphan
//     may only take a new parent of its own label. When none is left, the orphan is freed and
//     whichever tree reaches it again labels it anew, so tree repair never carries a node, and
//     the subtree below it, from one label into another.
//  3. The flow itself is the flow of the two-phase graph, so the source side at the end is the
//     source side of the two-phase minimum cut: a seed whose voxels lose to the sink vanishes.
//  4. Source-side nodes whose tree carries label 0 (roots without a seed) take, in one
//     breadth-first pass over the edges of the graph, the label of the nearest labelled
//     source-side node; the ones no label reaches stay 0. With a single label the result is thus
//     the two-phase cut restricted to the seed's connected components.
//  5. A solve that repairs an earlier one (new terminal capacities, same edges) keeps the labels
//     its source trees carry: a labelled region whose seed voxels have left the source side
//     keeps its label as long as its nodes stay on the source side, as a moving cell would.
// Cost: that of the two-phase solve plus O(nodes * K) for the final pass.
template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
class KERF_API TavrinLabels : public IGridMaxFlow<N, TCap, TTerm, TFlow> {
 public:
  TavrinLabels();
  ~TavrinLabels() override;
  TavrinLabels(const TavrinLabels&) = delete;
  TavrinLabels& operator=(const TavrinLabels&) = delete;

  // Keeps a reference to `labels` (one label per node, 0 = background): it must stay alive and
  // unchanged until the solver is destroyed or given another labelling. The next solve starts
  // from these labels.
  void SetInitialLabelingRef(const System::Collection::Array<N, TLabel>& labels);
  // After ComputeMaxFlow: the node's final label, 0 or one of the initial labels.
  TLabel NodeLabel(size_t node) const;

  void SetGrid(const Math::Algebra::Vector<N, size_t>& dims,
               const Energy::Neighbourhood<N, int>& nb) override;
  void SetEdgeCapacities(const TCap* capacities) override;
  void SetDirectionCapacities(const TCap* capacities) override;
  void SetTerminalCapacities(const TTerm* source, const TTerm* sink) override;
  // The flow of the two-phase graph. Throws ArgumentException when no initial labelling of the
  // grid's size has been given.
  TFlow ComputeMaxFlow() override;
  // The source side is the set of labelled nodes: NodeLabel(node) != 0.
  bool IsSourceSide(size_t node) const override;
  void SourceSide(bool* side) const override;
  size_t Nodes() const override;
  // After ComputeMaxFlow: every node's nearest final label in steps along the grid's directions,
  // the zones in which Chan-Vese measures each label against its own mean. Cost O(nodes * K).
  bool LabelZones(uint32_t* zone) const override;

 private:
  struct Engine;
  std::unique_ptr<Engine> m_engine;
  const System::Collection::Array<N, TLabel>* m_labels = nullptr;
};

extern template class TavrinLabels<2, float, float, float, unsigned short, kReuseSearchTrees>;
extern template class TavrinLabels<3, float, float, float, unsigned short, kReuseSearchTrees>;
extern template class TavrinLabels<2, float, float, float, unsigned short, kFreshSolve>;
extern template class TavrinLabels<3, float, float, float, unsigned short, kFreshSolve>;

}  // namespace Kerf::Flow::Grid
