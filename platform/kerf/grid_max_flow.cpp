// The grid solver interface's out-of-line members, so that its type information lives once, in
// the library.
#include "kerf/grid_max_flow.h"

namespace Kerf::Flow {

template <size_t N, class TCap, class TTerm, class TFlow>
IGridMaxFlow<N, TCap, TTerm, TFlow>::~IGridMaxFlow() = default;

template <size_t N, class TCap, class TTerm, class TFlow>
bool IGridMaxFlow<N, TCap, TTerm, TFlow>::LabelZones(uint32_t*) const {
  return false;
}

template class IGridMaxFlow<2, float, float, float>;
template class IGridMaxFlow<3, float, float, float>;

}  // namespace Kerf::Flow
