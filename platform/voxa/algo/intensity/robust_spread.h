// The spread of a set of values that a minority of outliers cannot inflate: the median absolute
// deviation from the median, scaled to the standard deviation of normal noise. It measures the
// noise of a background even when objects cover a good part of it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace voxa::algo {

// The standard deviation of normal noise per median absolute deviation.
constexpr float kMadToSigma = 1.4826f;

// Reorders `values`. 0 for an empty set. Cost: two linear selections.
inline float RobustSpread(std::vector<float>& values) {
  if (values.empty()) return 0.0f;
  const auto middle = values.begin() + static_cast<ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  const float median = *middle;
  for (float& x : values) x = std::abs(x - median);
  std::nth_element(values.begin(), middle, values.end());
  return kMadToSigma * *middle;
}

}  // namespace voxa::algo
