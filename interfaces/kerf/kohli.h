// Kohli: a Boykov-Kolmogorov max-flow specialised for grid graphs, with the dynamic reuse of
// Kohli and Torr. Nodes are voxels, edges the neighbourhood's offsets, residual capacities flat
// arrays (no per-edge objects) on a padded grid (no bounds tests); flow between neighbours is
// pushed in one sweep before the trees grow. When only terminal capacities change between two
// solves, residual graph and search trees are kept and repaired, so a small change of the
// Chan-Vese means costs a repair, not a new solve.
#pragma once

#include <cstddef>
#include <memory>

#include "kerf/export.h"
#include "kerf/grid_max_flow.h"

namespace Kerf::Flow::Grid {

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
class KERF_API Kohli : public IGridMaxFlow<N, TCap, TTerm, TFlow> {
 public:
  Kohli();
  ~Kohli() override;
  Kohli(const Kohli&) = delete;
  Kohli& operator=(const Kohli&) = delete;

  void SetGrid(const Math::Algebra::Vector<N, size_t>& dims,
               const Energy::Neighbourhood<N, int>& nb) override;
  void SetEdgeCapacities(const TCap* capacities) override;
  void SetDirectionCapacities(const TCap* capacities) override;
  void SetTerminalCapacities(const TTerm* source, const TTerm* sink) override;
  // The source side reported is the set of nodes reachable from the source in the final
  // residual graph, the smallest source side of all minimum cuts.
  TFlow ComputeMaxFlow() override;
  bool IsSourceSide(size_t node) const override;
  void SourceSide(bool* side) const override;
  size_t Nodes() const override;

 private:
  struct Engine;
  std::unique_ptr<Engine> m_engine;
};

extern template class Kohli<2, float, float, float, kReuseSearchTrees>;
extern template class Kohli<3, float, float, float, kReuseSearchTrees>;
extern template class Kohli<2, float, float, float, kFreshSolve>;
extern template class Kohli<3, float, float, float, kFreshSolve>;

}  // namespace Kerf::Flow::Grid
