// Portable transforms of the Mersenne Twister's 64-bit output.
#include "random_source.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace trel::tool {

namespace {

constexpr double kTwoToMinus53 = 1.0 / 9007199254740992.0;
constexpr int kMantissaShift = 11;        // 64 - 53 bits of a double's mantissa
constexpr double kInversionLimit = 30.0;  // below this mean the exact inversion is cheap
constexpr double kTinyUniform = 1e-300;   // keeps log() finite

}  // namespace

double RandomSource::Uniform() {
  return static_cast<double>(engine_() >> kMantissaShift) * kTwoToMinus53;
}

double RandomSource::Uniform(double low, double high) {
  return low + (high - low) * Uniform();
}

double RandomSource::Normal() {
  if (has_spare_) {
    has_spare_ = false;
    return spare_;
  }
  const double u = std::max(Uniform(), kTinyUniform);
  const double v = Uniform();
  const double r = std::sqrt(-2.0 * std::log(u));
  spare_ = r * std::sin(2.0 * std::numbers::pi * v);
  has_spare_ = true;
  return r * std::cos(2.0 * std::numbers::pi * v);
}

uint64_t RandomSource::Poisson(double mean) {
  if (mean <= 0.0) return 0;
  if (mean >= kInversionLimit) {
    const double x = std::round(mean + std::sqrt(mean) * Normal());
    return x > 0.0 ? static_cast<uint64_t>(x) : 0;
  }
  // Inversion: walk the cumulative distribution until it passes one uniform draw.
  const double u = Uniform();
  double term = std::exp(-mean), cumulative = term;
  uint64_t k = 0;
  while (u >= cumulative && term > 0.0) {
    ++k;
    term *= mean / static_cast<double>(k);
    cumulative += term;
  }
  return k;
}

uint64_t MixSeed(uint64_t seed, uint64_t stream) {
  uint64_t z = seed + 0x9e3779b97f4a7c15ull * (stream + 1);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

}  // namespace trel::tool
