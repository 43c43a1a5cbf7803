// Seeded random numbers with the same sequence on every platform: the 64-bit Mersenne Twister
// (whose output the C++ standard fixes) with this file's own uniform, normal (Box–Muller) and
// Poisson (inversion of the distribution function, a rounded normal for large means) transforms,
// since the standard library's distributions differ between implementations.
#pragma once

#include <cstdint>
#include <random>

namespace trel::tool {

// An interval of values that a model parameter is drawn from.
struct Range {
  double low, high;
};

class RandomSource {
 public:
  explicit RandomSource(uint64_t seed) : engine_(seed) {}

  double Uniform();  // [0, 1)
  double Uniform(double low, double high);
  double Uniform(const Range& r) { return Uniform(r.low, r.high); }
  double Normal();  // mean 0, standard deviation 1
  double Normal(double mean, double sd) { return mean + sd * Normal(); }
  uint64_t Poisson(double mean);  // mean >= 0
  bool Chance(double probability) { return Uniform() < probability; }
  uint64_t Bits() { return engine_(); }

 private:
  std::mt19937_64 engine_;
  bool has_spare_ = false;
  double spare_ = 0.0;
};

// Mixes a seed with a stream number into an independent seed (SplitMix64 finaliser), so that
// each frame's noise can be drawn from its own stream.
uint64_t MixSeed(uint64_t seed, uint64_t stream);

}  // namespace trel::tool
