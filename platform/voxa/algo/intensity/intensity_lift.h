// The robust intensity scale shared by the level-set speed image and the float conversion of the
// graph cut: grey values are normalised between their 0.1 % and 99.9 % percentiles (a few hot or
// dead voxels do not squeeze the range) and lifted by L(x) = log(1 + x / e) / log(1 + 1 / e), so
// that nuclei a few percent of the range above the background stand out beside bright ones.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "intensity/histogram.h"

namespace voxa::algo {

class IntensityLift {
 public:
  // e of the lift: the share of the normalised range below which the curve is close to linear.
  // Small enough that a dim nucleus stands out, large enough that background noise is not blown
  // up.
  static constexpr float kLiftScale = 0.05f;
  static constexpr double kLowPercentile = 0.001;
  static constexpr double kHighPercentile = 0.999;
  static constexpr size_t kFloatBins = 4096;

  // The scale of the given 16-bit values. Cost: one pass over them.
  static IntensityLift Of(const unsigned short* values, size_t n) {
    return FromHistogram(Histogram::OfGray(values, n));
  }

  static IntensityLift FromHistogram(const Histogram& histogram) {
    IntensityLift lift;
    lift.low_ = static_cast<float>(histogram.Percentile(kLowPercentile));
    const float high = static_cast<float>(histogram.Percentile(kHighPercentile));
    lift.flat_ = !(high > lift.low_);
    lift.scale_ = lift.flat_ ? 0.0f : 1.0f / (high - lift.low_);
    return lift;
  }

  // The scale of the given float values, from a histogram of kFloatBins bins. Cost: two passes.
  static IntensityLift OfFloat(const float* values, size_t n) {
    return FromHistogram(Histogram::OfFloat(values, n, kFloatBins));
  }

  // True when the percentiles coincide: there is no contrast to scale.
  bool Flat() const { return flat_; }

  // L of the normalised value, the normalised value clamped to 0..ceiling first.
  float operator()(float v, float ceiling = std::numeric_limits<float>::infinity()) const {
    const float x = std::clamp((v - low_) * scale_, 0.0f, ceiling);
    return std::log1p(x / kLiftScale) * kNorm;
  }

 private:
  static inline const float kNorm = 1.0f / std::log1p(1.0f / kLiftScale);
  float low_ = 0, scale_ = 0;
  bool flat_ = true;
};

}  // namespace voxa::algo
