// Graph-cut Chan-Vese: terminal capacities from the region terms, Cauchy-Crofton edge weights
// for the length term, and the alternation of minimum cuts and mean updates.
#include "kerf/chan_vese.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "kerf/cauchy_crofton.h"
#include "kerf/exceptions.h"
#include "kerf/stop_watch.h"
#include "kerf/type_name.h"
#include "offset_rules.h"

namespace Kerf::Algo::Segmentation::ChanVese {

namespace {

template <size_t N, class T>
std::string MethodName() {
  return System::TemplateName("Kerf::Algo::Segmentation::ChanVese::Compute",
                              std::to_string(N) + "," + System::TypeName<T>::Get());
}

template <size_t N, class T>
void CheckArguments(const std::string& method, const Data::Image<N, T, T>& image, T tolerance,
                    const Energy::Neighbourhood<N, int>& nb) {
  if (image.Elems() == 0)
    throw System::ArgumentException(method.c_str(), __LINE__, "The image must not be empty.");
  if (!(tolerance >= T(0)) || !std::isfinite(tolerance))
    throw System::ArgumentException(method.c_str(), __LINE__,
                                    "The tolerance must be finite and non-negative.");
  Energy::detail::CheckGraphOffsets<N>(method, nb, true);
}

[[noreturn]] void NotFinite(const std::string& method, int line, const char* what) {
  throw Math::ConvergenceException(method.c_str(), line, what);
}

// The region terms as terminal capacities: a node pays `source` when it ends in the background
// (cut from the source) and `sink` when it ends in the foreground.
template <size_t N, class T>
void RegionTerms(const std::string& method, const Data::Image<N, T, T>& image, T volume, T lambda1,
                 T lambda2, T c1, T c2, std::vector<T>& source, std::vector<T>& sink) {
  const T* v = image.Data();
  bool finite = true;
  for (size_t p = 0; p < image.Elems(); ++p) {
    const T d1 = v[p] - c1, d2 = v[p] - c2;
    source[p] = volume * lambda1 * d1 * d1;
    sink[p] = volume * lambda2 * d2 * d2;
    finite = finite && std::isfinite(source[p]) && std::isfinite(sink[p]);
  }
  if (!finite) NotFinite(method, __LINE__, "The Chan-Vese energy is not finite.");
}

// The mean of each phase of `fg`; an empty phase keeps its mean.
template <size_t N, class T>
void PhaseMeans(const std::string& method, const Data::Image<N, T, T>& image, const bool* fg, T& c1,
                T& c2) {
  double sum[2] = {0, 0};
  size_t count[2] = {0, 0};
  for (size_t p = 0; p < image.Elems(); ++p) {
    sum[fg[p]] += image[p];
    ++count[fg[p]];
  }
  if (count[0] != 0) c1 = static_cast<T>(sum[0] / static_cast<double>(count[0]));
  if (count[1] != 0) c2 = static_cast<T>(sum[1] / static_cast<double>(count[1]));
  if (!std::isfinite(c1) || !std::isfinite(c2))
    NotFinite(method, __LINE__, "A Chan-Vese mean is not finite.");
}

// Region terms of the segmentation plus the weights of its edges from foreground to background.
template <size_t N, class T>
double Energy(const Data::Image<N, T, T>& image, const bool* fg, T volume, T lambda1, T lambda2,
              T c1, T c2, const Energy::Neighbourhood<N, int>& nb, const std::vector<T>& w) {
  std::array<size_t, 3> dims{1, 1, 1};
  for (size_t a = 0; a < N; ++a) dims[a] = image.Dim()[a];
  double region = 0, length = 0;
  size_t p = 0;
  for (size_t z = 0; z < dims[2]; ++z)
    for (size_t y = 0; y < dims[1]; ++y)
      for (size_t x = 0; x < dims[0]; ++x, ++p) {
        const double d = image[p] - (fg[p] ? c2 : c1);
        region += volume * (fg[p] ? lambda2 : lambda1) * d * d;
        if (!fg[p]) continue;
        const std::array<size_t, 3> at{x, y, z};
        for (size_t k = 0; k < nb.Elems(); ++k) {
          size_t q = 0, stride = 1;
          bool inside = true;
          for (size_t a = 0; a < N && inside; ++a) {
            const long moved = static_cast<long>(at[a]) + nb[k][a];
            inside = moved >= 0 && moved < static_cast<long>(dims[a]);
            q += static_cast<size_t>(moved) * stride;
            stride *= dims[a];
          }
          if (inside && !fg[q]) length += w[k];
        }
      }
  return region + length;
}

}  // namespace

template <size_t N, class T>
T Compute(const Data::Image<N, T, T>& image, T lambda1, T lambda2, T& c1, T& c2, T tolerance,
          size_t& max_iter, const Energy::Neighbourhood<N, int>& nb,
          Flow::IGridMaxFlow<N, T, T, T>& solver, System::Collection::Array<N, bool>& result) {
  const std::string method = MethodName<N, T>();
  CheckArguments<N, T>(method, image, tolerance, nb);
  System::Time::StopWatch total(method);

  T volume = 1;
  for (size_t a = 0; a < N; ++a) volume *= image.GetSpacing()[a];
  const std::vector<T> weights = Energy::CauchyCroftonWeights<N, T>(nb, image.GetSpacing());
  solver.SetGrid(image.Dim(), nb);
  solver.SetDirectionCapacities(weights.data());
  result.Resize(image.Dim());

  std::vector<T> source(image.Elems()), sink(image.Elems());
  const size_t bound = std::max<size_t>(max_iter, 1);
  for (size_t cut = 1;; ++cut) {
    RegionTerms<N, T>(method, image, volume, lambda1, lambda2, c1, c2, source, sink);
    {
      System::Time::StopWatch watch(method + " cut " + std::to_string(cut));
      solver.SetTerminalCapacities(source.data(), sink.data());
      solver.ComputeMaxFlow();
    }
    solver.SourceSide(result.Data());
    T m1 = c1, m2 = c2;
    PhaseMeans<N, T>(method, image, result.Data(), m1, m2);
    const bool converged = std::abs(m1 - c1) < tolerance && std::abs(m2 - c2) < tolerance;
    c1 = m1;
    c2 = m2;
    if (converged || cut >= bound) break;
  }
  const double energy =
      Energy<N, T>(image, result.Data(), volume, lambda1, lambda2, c1, c2, nb, weights);
  if (!std::isfinite(energy)) NotFinite(method, __LINE__, "The Chan-Vese energy is not finite.");
  return static_cast<T>(energy);
}

template KERF_API float Compute<2, float>(const Data::Image<2, float, float>&, float, float, float&,
                                          float&, float, size_t&,
                                          const Energy::Neighbourhood<2, int>&,
                                          Flow::IGridMaxFlow<2, float, float, float>&,
                                          System::Collection::Array<2, bool>&);
template KERF_API float Compute<3, float>(const Data::Image<3, float, float>&, float, float, float&,
                                          float&, float, size_t&,
                                          const Energy::Neighbourhood<3, int>&,
                                          Flow::IGridMaxFlow<3, float, float, float>&,
                                          System::Collection::Array<3, bool>&);

}  // namespace Kerf::Algo::Segmentation::ChanVese
