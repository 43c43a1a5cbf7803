// IGridMaxFlow: a minimum s-t cut solver for graphs whose nodes are the voxels of an
// N-dimensional grid and whose edges join every voxel to the voxels at the offsets of a
// neighbourhood. Capacities are given per direction or per edge in flat arrays and per node for
// the two terminals; after a solve only the terminal capacities may be given anew, and a solver
// may then repair its previous flow instead of starting over.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kerf/export.h"
#include "kerf/neighbourhood.h"
#include "kerf/vector.h"

namespace Kerf::Flow {

// Flags of the grid solvers. By default a solver keeps its residual graph and search trees
// between two solves on the same edges and repairs them (Kohli and Torr's dynamic graph cuts);
// kFreshSolve makes every solve start from the original capacities instead.
inline constexpr int kReuseSearchTrees = 0;
inline constexpr int kFreshSolve = 1;

template <size_t N, class TCap, class TTerm, class TFlow>
class KERF_API IGridMaxFlow {
 public:
  virtual ~IGridMaxFlow();

  // A grid of dims[0] x ... nodes (node index x + X*y + X*Y*z) whose node p has an edge to
  // p + offset k for every offset of nb that stays inside the grid. All capacities become 0.
  // Throws ArgumentException for an empty grid, a zero or repeated offset, or a grid too large
  // to index.
  virtual void SetGrid(const Math::Algebra::Vector<N, size_t>& dims,
                       const Energy::Neighbourhood<N, int>& nb) = 0;
  // capacities[p * K + k] (K = number of offsets) is the capacity of the edge from node p to
  // p + offset k; entries of edges that leave the grid are ignored. Throws ArgumentException
  // for a negative or NaN capacity. Cost O(nodes * K).
  virtual void SetEdgeCapacities(const TCap* capacities) = 0;
  // The same capacity capacities[k] for every edge along offset k.
  virtual void SetDirectionCapacities(const TCap* capacities) = 0;
  // source[p] is paid when p ends on the sink side, sink[p] when it ends on the source side.
  // Any finite values are accepted (a constant added to both changes no cut). Throws
  // ArgumentException for a value that is not finite.
  virtual void SetTerminalCapacities(const TTerm* source, const TTerm* sink) = 0;
  // The maximum flow, which equals the capacity of the minimum cut that the solver reports.
  virtual TFlow ComputeMaxFlow() = 0;
  // After ComputeMaxFlow: whether node p lies on the source side of the reported cut.
  virtual bool IsSourceSide(size_t node) const = 0;
  // The same for every node at once, into side[0 .. nodes - 1].
  virtual void SourceSide(bool* side) const = 0;
  virtual size_t Nodes() const = 0;
  // After ComputeMaxFlow, solvers that keep labelled regions apart (their source side is the
  // labelled nodes) fill zone[p] with the label of the nearest labelled node, a labelled node's
  // own label, 0 when no node is labelled, and return true, so that a model can give each region
  // terms of its own. The two-phase solvers return false and write nothing.
  virtual bool LabelZones(uint32_t* zone) const;
};

}  // namespace Kerf::Flow

namespace Kerf::Flow {
extern template class IGridMaxFlow<2, float, float, float>;
extern template class IGridMaxFlow<3, float, float, float>;
}  // namespace Kerf::Flow
