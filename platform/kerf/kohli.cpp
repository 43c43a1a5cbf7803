// The two-phase grid solver: a thin, validating shell over the search-tree max-flow, which keeps
// its trees between solves unless built with kFreshSolve.
#include "kerf/kohli.h"

#include <string>

#include "grid_geometry.h"
#include "kerf/exceptions.h"
#include "kerf/type_name.h"
#include "search_tree_flow.h"

namespace Kerf::Flow::Grid {

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
struct Kohli<N, TCap, TTerm, TFlow, Flags>::Engine
    : detail::SearchTreeFlow<TCap, TTerm, detail::NoLabel> {
  Engine() : detail::SearchTreeFlow<TCap, TTerm, detail::NoLabel>(Flags != kFreshSolve) {}

  static std::string Method(const char* name) {
    return System::TemplateName("Kerf::Flow::Grid::Kohli",
                                std::to_string(N) + "," + System::TypeName<TCap>::Get() + "," +
                                    System::TypeName<TTerm>::Get() + "," +
                                    System::TypeName<TFlow>::Get() + "," + std::to_string(Flags)) +
           "::" + name;
  }

  void CheckSolved(const char* name, size_t node) const {
    if (!this->Solved() || node >= this->Geometry().Nodes())
      throw System::ArgumentException(Method(name).c_str(), __LINE__,
                                      "The flow must be computed and the node be in the grid.");
  }
};

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
Kohli<N, TCap, TTerm, TFlow, Flags>::Kohli() : m_engine(std::make_unique<Engine>()) {}

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
Kohli<N, TCap, TTerm, TFlow, Flags>::~Kohli() = default;

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
void Kohli<N, TCap, TTerm, TFlow, Flags>::SetGrid(const Math::Algebra::Vector<N, size_t>& dims,
                                                  const Energy::Neighbourhood<N, int>& nb) {
  m_engine->SetGrid(detail::MakeGeometry<N>(Engine::Method("SetGrid").c_str(), dims, nb));
}

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
void Kohli<N, TCap, TTerm, TFlow, Flags>::SetEdgeCapacities(const TCap* capacities) {
  m_engine->SetEdgeCapacities(Engine::Method("SetEdgeCapacities").c_str(), capacities);
}

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
void Kohli<N, TCap, TTerm, TFlow, Flags>::SetDirectionCapacities(const TCap* capacities) {
  m_engine->SetDirectionCapacities(Engine::Method("SetDirectionCapacities").c_str(), capacities);
}

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
void Kohli<N, TCap, TTerm, TFlow, Flags>::SetTerminalCapacities(const TTerm* source,
                                                                const TTerm* sink) {
  m_engine->SetTerminalCapacities(Engine::Method("SetTerminalCapacities").c_str(), source, sink);
}

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
TFlow Kohli<N, TCap, TTerm, TFlow, Flags>::ComputeMaxFlow() {
  return static_cast<TFlow>(m_engine->Solve(Engine::Method("ComputeMaxFlow").c_str()));
}

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
bool Kohli<N, TCap, TTerm, TFlow, Flags>::IsSourceSide(size_t node) const {
  m_engine->CheckSolved("IsSourceSide", node);
  return m_engine->InSource(m_engine->Geometry().Padded(node));
}

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
void Kohli<N, TCap, TTerm, TFlow, Flags>::SourceSide(bool* side) const {
  m_engine->CheckSolved("SourceSide", 0);
  m_engine->Geometry().ForEachNode(
      [&](size_t node, size_t p, size_t, size_t, size_t) { side[node] = m_engine->InSource(p); });
}

template <size_t N, class TCap, class TTerm, class TFlow, int Flags>
size_t Kohli<N, TCap, TTerm, TFlow, Flags>::Nodes() const {
  return m_engine->Geometry().Nodes();
}

template class Kohli<2, float, float, float, kReuseSearchTrees>;
template class Kohli<3, float, float, float, kReuseSearchTrees>;
template class Kohli<2, float, float, float, kFreshSolve>;
template class Kohli<3, float, float, float, kFreshSolve>;

}  // namespace Kerf::Flow::Grid
