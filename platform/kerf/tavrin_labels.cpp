// The label-preserving grid solver: the search-tree max-flow with labelled source trees, then
// the spread of labels over the source side (see kerf/tavrin_labels.h for the algorithm).
#include "kerf/tavrin_labels.h"

#include <cstdint>
#include <string>
#include <vector>

#include "grid_geometry.h"
#include "kerf/exceptions.h"
#include "kerf/type_name.h"
#include "label_spread.h"
#include "search_tree_flow.h"

namespace Kerf::Flow::Grid {

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
struct TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::Engine
    : detail::SearchTreeFlow<TCap, TTerm, TLabel> {
  Engine() : detail::SearchTreeFlow<TCap, TTerm, TLabel>(Flags != kFreshSolve) {}

  static std::string Method(const char* name) {
    return System::TemplateName("Kerf::Flow::Grid::TavrinLabels",
                                std::to_string(N) + "," + System::TypeName<TCap>::Get() + "," +
                                    System::TypeName<TTerm>::Get() + "," +
                                    System::TypeName<TFlow>::Get() + "," +
                                    System::TypeName<TLabel>::Get() + "," + std::to_string(Flags)) +
           "::" + name;
  }

  // Hands the labelling to the search once its size is known to match the grid; `method` is
  // the full name of the calling method.
  void UseLabelling(const char* method, const System::Collection::Array<N, TLabel>* labels) {
    bool fits = labels != nullptr && labels->Elems() == this->Geometry().Nodes();
    for (size_t a = 0; fits && a < N; ++a) fits = labels->Dim()[a] == this->Geometry().Dims()[a];
    if (!fits)
      throw System::ArgumentException(method, __LINE__,
                                      "The initial labelling must be set and match the grid.");
    this->SetSeeds(labels->Data());
  }

  void CheckSolved(const char* name, size_t node) const {
    if (node >= final_labels.size())
      throw System::ArgumentException(Method(name).c_str(), __LINE__,
                                      "The flow must be computed and the node be in the grid.");
  }

  std::vector<TLabel> final_labels;  // per node, after the last solve
  std::vector<TLabel> spread_work;
  std::vector<uint32_t> spread_queue;
};

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::TavrinLabels()
    : m_engine(std::make_unique<Engine>()) {}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::~TavrinLabels() = default;

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
void TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::SetInitialLabelingRef(
    const System::Collection::Array<N, TLabel>& labels) {
  m_labels = &labels;
}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
TLabel TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::NodeLabel(size_t node) const {
  m_engine->CheckSolved("NodeLabel", node);
  return m_engine->final_labels[node];
}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
void TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::SetGrid(
    const Math::Algebra::Vector<N, size_t>& dims, const Energy::Neighbourhood<N, int>& nb) {
  m_engine->SetGrid(detail::MakeGeometry<N>(Engine::Method("SetGrid").c_str(), dims, nb));
  m_engine->final_labels.clear();
}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
void TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::SetEdgeCapacities(const TCap* capacities) {
  m_engine->SetEdgeCapacities(Engine::Method("SetEdgeCapacities").c_str(), capacities);
}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
void TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::SetDirectionCapacities(
    const TCap* capacities) {
  m_engine->SetDirectionCapacities(Engine::Method("SetDirectionCapacities").c_str(), capacities);
}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
void TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::SetTerminalCapacities(const TTerm* source,
                                                                               const TTerm* sink) {
  const std::string method = Engine::Method("SetTerminalCapacities");
  if (m_engine->Solved()) m_engine->UseLabelling(method.c_str(), m_labels);
  m_engine->SetTerminalCapacities(method.c_str(), source, sink);
}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
TFlow TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::ComputeMaxFlow() {
  const std::string method = Engine::Method("ComputeMaxFlow");
  m_engine->UseLabelling(method.c_str(), m_labels);
  const double flow = m_engine->Solve(method.c_str());
  m_engine->final_labels.resize(m_engine->Geometry().Nodes());
  detail::SpreadLabels(*m_engine, m_engine->spread_work, m_engine->spread_queue,
                       m_engine->final_labels.data());
  return static_cast<TFlow>(flow);
}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
bool TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::IsSourceSide(size_t node) const {
  return NodeLabel(node) != TLabel(0);
}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
void TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::SourceSide(bool* side) const {
  m_engine->CheckSolved("SourceSide", 0);
  for (size_t node = 0; node < m_engine->final_labels.size(); ++node)
    side[node] = m_engine->final_labels[node] != TLabel(0);
}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
size_t TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::Nodes() const {
  return m_engine->Geometry().Nodes();
}

template <size_t N, class TCap, class TTerm, class TFlow, class TLabel, int Flags>
bool TavrinLabels<N, TCap, TTerm, TFlow, TLabel, Flags>::LabelZones(uint32_t* zone) const {
  m_engine->CheckSolved("LabelZones", 0);
  detail::NearestLabels(m_engine->Geometry(), m_engine->final_labels.data(), m_engine->spread_work,
                        m_engine->spread_queue, zone);
  return true;
}

template class TavrinLabels<2, float, float, float, unsigned short, kReuseSearchTrees>;
template class TavrinLabels<3, float, float, float, unsigned short, kReuseSearchTrees>;
template class TavrinLabels<2, float, float, float, unsigned short, kFreshSolve>;
template class TavrinLabels<3, float, float, float, unsigned short, kFreshSolve>;

}  // namespace Kerf::Flow::Grid
