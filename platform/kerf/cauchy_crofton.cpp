// Cauchy-Crofton edge weights: the angular (2D, exact) or solid-angle (3D, sampled) share of
// each edge direction in physical space, times the spacing of its lines.
#include "kerf/cauchy_crofton.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>
#include <string>

#include "kerf/type_name.h"
#include "offset_rules.h"

namespace Kerf::Energy {

namespace {

constexpr double kPi = std::numbers::pi;
// Directions of the unit sphere sampled to share out solid angles in 3D; the share of each
// direction is then known to about 0.1 percent.
constexpr size_t kSphereSamples = size_t(1) << 17;

using Direction = std::array<double, 3>;

double Length(const Direction& v) {
  return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// Every offset in physical units, followed by the opposites that the neighbourhood lacks, so
// that the shares cover all line directions. opposite[j] is the index of -direction j.
template <size_t N, class T>
std::vector<Direction> PhysicalDirections(const Neighbourhood<N, int>& nb,
                                          const Math::Algebra::Vector<N, T>& spacing,
                                          std::vector<size_t>& opposite) {
  std::vector<Direction> dirs;
  for (size_t k = 0; k < nb.Elems(); ++k) {
    Direction v{0, 0, 0};
    for (size_t i = 0; i < N; ++i) v[i] = nb[k][i] * static_cast<double>(spacing[i]);
    dirs.push_back(v);
  }
  const size_t given = dirs.size();
  for (size_t k = 0; k < given; ++k) {
    const Direction minus{-dirs[k][0], -dirs[k][1], -dirs[k][2]};
    if (std::find(dirs.begin(), dirs.end(), minus) == dirs.end()) dirs.push_back(minus);
  }
  opposite.assign(dirs.size(), 0);
  for (size_t j = 0; j < dirs.size(); ++j) {
    const Direction minus{-dirs[j][0], -dirs[j][1], -dirs[j][2]};
    opposite[j] = std::find(dirs.begin(), dirs.end(), minus) - dirs.begin();
  }
  return dirs;
}

// Angle of the circle nearer to each direction than to any other: half the gaps to its two
// angular neighbours.
std::vector<double> PlanarShares(const std::vector<Direction>& dirs) {
  std::vector<double> angle(dirs.size());
  for (size_t j = 0; j < dirs.size(); ++j) angle[j] = std::atan2(dirs[j][1], dirs[j][0]);
  std::vector<size_t> order(dirs.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return angle[a] < angle[b]; });
  std::vector<double> share(dirs.size());
  const size_t n = order.size();
  for (size_t i = 0; i < n; ++i) {
    double next = angle[order[(i + 1) % n]], prev = angle[order[(i + n - 1) % n]];
    if (i + 1 == n) next += 2 * kPi;
    if (i == 0) prev -= 2 * kPi;
    share[order[i]] = (next - prev) / 2;
  }
  return share;
}

// Solid angle of the sphere nearer to each direction than to any other, from a Fibonacci
// sample of the sphere, made equal for a direction and its opposite.
std::vector<double> SpatialShares(const std::vector<Direction>& dirs,
                                  const std::vector<size_t>& opposite) {
  std::vector<Direction> unit(dirs);
  for (Direction& u : unit) {
    const double l = Length(u);
    for (double& c : u) c /= l;
  }
  const double golden_angle = kPi * (3 - std::sqrt(5.0));
  std::vector<size_t> count(dirs.size(), 0);
  for (size_t s = 0; s < kSphereSamples; ++s) {
    const double z = 1 - (2 * static_cast<double>(s) + 1) / kSphereSamples;
    const double r = std::sqrt(1 - z * z), phi = golden_angle * static_cast<double>(s);
    const double x = r * std::cos(phi), y = r * std::sin(phi);
    size_t best = 0;
    double best_dot = -2;
    for (size_t j = 0; j < unit.size(); ++j) {
      const double dot = x * unit[j][0] + y * unit[j][1] + z * unit[j][2];
      if (dot > best_dot) {
        best_dot = dot;
        best = j;
      }
    }
    ++count[best];
  }
  std::vector<double> share(dirs.size());
  for (size_t j = 0; j < dirs.size(); ++j)
    share[j] = 4 * kPi * (count[j] + count[opposite[j]]) / (2.0 * kSphereSamples);
  return share;
}

}  // namespace

template <size_t N, class T>
std::vector<T> CauchyCroftonWeights(const Neighbourhood<N, int>& nb,
                                    const Math::Algebra::Vector<N, T>& spacing) {
  const std::string method = System::TemplateName(
      "Kerf::Energy::CauchyCroftonWeights", std::to_string(N) + "," + System::TypeName<T>::Get());
  detail::CheckGraphOffsets<N>(method, nb, false);
  double volume = 1;
  for (size_t i = 0; i < N; ++i) volume *= static_cast<double>(spacing[i]);
  std::vector<size_t> opposite;
  const std::vector<Direction> dirs = PhysicalDirections<N, T>(nb, spacing, opposite);
  const std::vector<double> share = N == 2 ? PlanarShares(dirs) : SpatialShares(dirs, opposite);
  // Crofton's constant: 1/2 for lines in the plane, 1/pi for lines in space.
  const double crofton = N == 2 ? 0.5 : 1 / kPi;
  std::vector<T> weights(nb.Elems());
  for (size_t k = 0; k < nb.Elems(); ++k)
    weights[k] = static_cast<T>(crofton * volume * share[k] / Length(dirs[k]));
  return weights;
}

template KERF_API std::vector<float> CauchyCroftonWeights<2, float>(
    const Neighbourhood<2, int>&, const Math::Algebra::Vector<2, float>&);
template KERF_API std::vector<float> CauchyCroftonWeights<3, float>(
    const Neighbourhood<3, int>&, const Math::Algebra::Vector<3, float>&);

}  // namespace Kerf::Energy
