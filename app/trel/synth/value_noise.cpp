// Value noise by trilinear blending of lattice values with the fade 6t^5 - 15t^4 + 10t^3, whose
// first and second derivatives vanish at lattice points (no visible grid).
#include "value_noise.h"

#include <cmath>

namespace trel::tool {

namespace {

double LatticeValue(uint64_t seed, int64_t x, int64_t y, int64_t z) {
  uint64_t h = seed ^ (static_cast<uint64_t>(x) * 0x9e3779b97f4a7c15ull);
  h ^= static_cast<uint64_t>(y) * 0xc2b2ae3d27d4eb4full;
  h ^= static_cast<uint64_t>(z) * 0x165667b19e3779f9ull;
  h = (h ^ (h >> 33)) * 0xff51afd7ed558ccdull;
  h = (h ^ (h >> 33)) * 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  constexpr double kScale = 1.0 / 9007199254740992.0;  // 2^-53
  return static_cast<double>(h >> 11) * kScale * 2.0 - 1.0;
}

double Fade(double t) {
  return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}

double Mix(double a, double b, double t) {
  return a + (b - a) * t;
}

}  // namespace

double ValueNoise(uint64_t seed, double x, double y, double z) {
  const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
  const auto ix = static_cast<int64_t>(fx), iy = static_cast<int64_t>(fy),
             iz = static_cast<int64_t>(fz);
  const double u = Fade(x - fx), v = Fade(y - fy), w = Fade(z - fz);
  double plane[2];
  for (int dz = 0; dz < 2; ++dz) {
    const double a =
        Mix(LatticeValue(seed, ix, iy, iz + dz), LatticeValue(seed, ix + 1, iy, iz + dz), u);
    const double b = Mix(LatticeValue(seed, ix, iy + 1, iz + dz),
                         LatticeValue(seed, ix + 1, iy + 1, iz + dz), u);
    plane[dz] = Mix(a, b, v);
  }
  return Mix(plane[0], plane[1], w);
}

}  // namespace trel::tool
