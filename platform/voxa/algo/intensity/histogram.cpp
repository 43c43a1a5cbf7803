// Histogram: filling, percentiles, mode, Otsu's and the triangle threshold, split means.
#include "intensity/histogram.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace voxa::algo {

namespace {
constexpr size_t kGrayBins = 65536;
}

Histogram Histogram::OfGray(const unsigned short* values, size_t n) {
  Histogram h;
  h.counts_.assign(kGrayBins, 0);
  for (size_t i = 0; i < n; ++i) ++h.counts_[values[i]];
  h.total_ = n;
  return h;
}

Histogram Histogram::OfFloat(const float* values, size_t n, size_t bins, float low, float high) {
  Histogram h;
  h.counts_.assign(std::max<size_t>(bins, 2), 0);
  h.low_ = low;
  h.width_ = high > low ? (double(high) - low) / double(h.counts_.size() - 1) : 1.0;
  const double last = double(h.counts_.size() - 1), inverse = 1.0 / h.width_;
  for (size_t i = 0; i < n; ++i) {
    const double position = (double(values[i]) - h.low_) * inverse + 0.5;
    if (!(position >= 0 && position < last + 1)) continue;  // also drops NaN
    ++h.counts_[static_cast<size_t>(position)];
    ++h.total_;
  }
  return h;
}

Histogram Histogram::OfFloat(const float* values, size_t n, size_t bins) {
  float lo = std::numeric_limits<float>::max(), hi = std::numeric_limits<float>::lowest();
  for (size_t i = 0; i < n; ++i)
    if (std::isfinite(values[i])) {
      lo = std::min(lo, values[i]);
      hi = std::max(hi, values[i]);
    }
  if (lo > hi) lo = hi = 0;
  return OfFloat(values, n, bins, lo, hi);
}

double Histogram::Percentile(double q) const {
  const double target = std::clamp(q, 0.0, 1.0) * static_cast<double>(total_);
  uint64_t cumulative = 0;
  for (size_t b = 0; b < counts_.size(); ++b) {
    cumulative += counts_[b];
    if (counts_[b] && static_cast<double>(cumulative) >= target) return BinValue(b);
  }
  return low_;
}

double Histogram::Mode() const {
  return BinValue(std::max_element(counts_.begin(), counts_.end()) - counts_.begin());
}

double Histogram::OtsuThreshold() const {
  double sum_all = 0;
  for (size_t b = 0; b < counts_.size(); ++b) sum_all += double(b) * double(counts_[b]);
  double best = -1, sum_low = 0;
  uint64_t count_low = 0;
  size_t best_bin = 0;
  for (size_t b = 0; b < counts_.size(); ++b) {
    count_low += counts_[b];
    sum_low += double(b) * double(counts_[b]);
    if (count_low == 0) continue;
    if (count_low == total_) break;
    const double n0 = double(count_low), n1 = double(total_ - count_low);
    const double m0 = sum_low / n0, m1 = (sum_all - sum_low) / n1;
    const double between = n0 * n1 * (m1 - m0) * (m1 - m0);
    if (between > best) {
      best = between;
      best_bin = b;
    }
  }
  if (best < 0) return After(static_cast<size_t>(std::lround((Percentile(0.5) - low_) / width_)));
  return After(best_bin);
}

double Histogram::TriangleThreshold() const {
  const size_t peak = std::max_element(counts_.begin(), counts_.end()) - counts_.begin();
  size_t end = counts_.size() - 1;
  while (end > peak && counts_[end] == 0) --end;
  if (end <= peak + 1) return After(peak);
  // Distance below the chord from (peak, h[peak]) to (end, h[end]), up to a common factor.
  const double dx = double(end - peak), dy = double(counts_[end]) - double(counts_[peak]);
  double best = -1;
  size_t best_bin = peak;
  for (size_t b = peak; b <= end; ++b) {
    const double d = dy * double(b - peak) - dx * (double(counts_[b]) - double(counts_[peak]));
    if (d > best) {
      best = d;
      best_bin = b;
    }
  }
  return After(best_bin);
}

Histogram::Split Histogram::MeansAround(double threshold) const {
  double sum[2] = {0, 0}, count[2] = {0, 0};
  for (size_t b = 0; b < counts_.size(); ++b) {
    const int side = BinValue(b) > threshold;
    sum[side] += BinValue(b) * double(counts_[b]);
    count[side] += double(counts_[b]);
  }
  const double above = count[1] ? sum[1] / count[1] : (count[0] ? sum[0] / count[0] : 0);
  const double below = count[0] ? sum[0] / count[0] : above;
  return {above, below};
}

}  // namespace voxa::algo
