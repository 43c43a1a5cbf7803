// Graph-cut Chan-Vese: terminal capacities from the region terms, Cauchy-Crofton edge weights
// for the length term, and the alternation of minimum cuts and mean updates.
#include "kerf/chan_vese.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// The foreground mean that applies at each node. With a two-phase solver it is one mean for the
// whole foreground. With a solver that keeps labelled regions apart, each label has a mean of its
// own, which applies in the zone of nodes nearest to that label: a dim nucleus is then measured
// against its own brightness rather than against that of the bright ones, and keeps its outline.
template <class T>
struct ForegroundMeans {
  std::vector<uint32_t> zone;  // per node, its nearest label; empty until a labelled cut exists
  std::vector<T> mean;         // per label; mean[0], the pooled foreground mean, serves zone 0

  T At(size_t p) const { return zone.empty() ? mean[0] : mean[zone[p]]; }
};

// The region terms as terminal capacities: a node pays `source` when it ends in the background
// (cut from the source) and `sink` when it ends in the foreground.
template <size_t N, class T>
void RegionTerms(const std::string& method, const Data::Image<N, T, T>& image, T volume, T lambda1,
                 T lambda2, T c1, const ForegroundMeans<T>& fg, std::vector<T>& source,
                 std::vector<T>& sink) {
  const T* v = image.Data();
  bool finite = true;
  for (size_t p = 0; p < image.Elems(); ++p) {
    const T d1 = v[p] - c1, d2 = v[p] - fg.At(p);
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

// Given a labelling's zones: the mean of each label's nodes (a labelled node lies in its own
// label's zone), the pooled foreground mean for zone 0. Returns the largest change of a label's
// mean against the mean that applied to the label before.
template <size_t N, class T>
T UpdateLabelMeans(const std::string& method, const Data::Image<N, T, T>& image,
                   const bool* labelled, T pooled, std::vector<uint32_t>& zone,
                   ForegroundMeans<T>& fg) {
  uint32_t top = 0;
  for (const uint32_t label : zone) top = std::max(top, label);
  std::vector<double> sum(size_t{top} + 1, 0.0);
  std::vector<size_t> count(size_t{top} + 1, 0);
  for (size_t p = 0; p < image.Elems(); ++p)
    if (labelled[p]) {
      sum[zone[p]] += image[p];
      ++count[zone[p]];
    }
  ForegroundMeans<T> next{{}, std::vector<T>(size_t{top} + 1, pooled)};
  next.zone.swap(zone);  // the zones of the cut before become the next cut's scratch
  T change = 0;
  for (size_t label = 1; label <= top; ++label) {
    if (count[label] == 0) continue;
    next.mean[label] = static_cast<T>(sum[label] / static_cast<double>(count[label]));
    const T before = label < fg.mean.size() ? fg.mean[label] : fg.mean[0];
    change = std::max(change, std::abs(next.mean[label] - before));
  }
  if (!std::isfinite(change)) NotFinite(method, __LINE__, "A Chan-Vese mean is not finite.");
  fg = std::move(next);
  return change;
}

// With a solver that keeps labelled regions apart (its source side `cut` is the labelled nodes):
// its labels' zones and means, `spare` serving as scratch. Returns the largest change of a label's
// mean, 0 for a two-phase solver.
template <size_t N, class T>
T UpdateZones(const std::string& method, const Data::Image<N, T, T>& image,
              const Flow::IGridMaxFlow<N, T, T, T>& solver, const bool* cut, T pooled,
              std::vector<uint32_t>& spare, ForegroundMeans<T>& fg) {
  spare.resize(image.Elems());
  if (!solver.LabelZones(spare.data())) {
    fg.mean[0] = pooled;
    return T(0);
  }
  return UpdateLabelMeans<N, T>(method, image, cut, pooled, spare, fg);
}

// A fingerprint of the means. Zones follow the cut, not the energy, so with labelled regions the
// alternation can fall into a cycle of a few cuts (two labels trading a rim of nodes back and
// forth); a fingerprint seen before ends it.
template <class T>
uint64_t MeansKey(T c1, const ForegroundMeans<T>& fg) {
  uint64_t key = 1469598103934665603ull;  // FNV-1a over the bytes of the means
  const auto mix = [&key](T value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (const unsigned char b : bytes) key = (key ^ b) * 1099511628211ull;
  };
  mix(c1);
  for (const T m : fg.mean) mix(m);
  return key;
}

// Region terms of the segmentation plus the weights of its edges from foreground to background.
template <size_t N, class T>
double Energy(const Data::Image<N, T, T>& image, const bool* fg, T volume, T lambda1, T lambda2,
              T c1, const ForegroundMeans<T>& means, const Energy::Neighbourhood<N, int>& nb,
              const std::vector<T>& w) {
  std::array<size_t, 3> dims{1, 1, 1};
  for (size_t a = 0; a < N; ++a) dims[a] = image.Dim()[a];
  double region = 0, length = 0;
  size_t p = 0;
  for (size_t z = 0; z < dims[2]; ++z)
    for (size_t y = 0; y < dims[1]; ++y)
      for (size_t x = 0; x < dims[0]; ++x, ++p) {
        const double d = image[p] - (fg[p] ? means.At(p) : c1);
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
  ForegroundMeans<T> fg{{}, {c2}};  // the first cut measures every label against c2
  const size_t bound = std::max<size_t>(max_iter, 1);
  std::vector<uint64_t> seen;
  std::vector<uint32_t> spare;
  for (size_t cut = 1;; ++cut) {
    RegionTerms<N, T>(method, image, volume, lambda1, lambda2, c1, fg, source, sink);
    {
      System::Time::StopWatch watch(method + " cut " + std::to_string(cut));
      solver.SetTerminalCapacities(source.data(), sink.data());
      solver.ComputeMaxFlow();
    }
    solver.SourceSide(result.Data());
    T m1 = c1, m2 = c2;
    PhaseMeans<N, T>(method, image, result.Data(), m1, m2);
    const T change =
        std::max({std::abs(m1 - c1), std::abs(m2 - c2),
                  UpdateZones<N, T>(method, image, solver, result.Data(), m2, spare, fg)});
    c1 = m1;
    c2 = m2;
    const uint64_t key = MeansKey(c1, fg);
    const bool cycle = std::find(seen.begin(), seen.end(), key) != seen.end();
    seen.push_back(key);
    if (change < tolerance || cycle || cut >= bound) break;
  }
  const double energy =
      Energy<N, T>(image, result.Data(), volume, lambda1, lambda2, c1, fg, nb, weights);
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
