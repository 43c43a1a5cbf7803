// Axis-by-axis blurring. Along x every line is copied into a padded buffer (edge values
// repeated) and filtered there. Along y and z the volume is seen as blocks of n rows of `inner`
// contiguous values, and whole rows are combined at once, so that memory is read in order.
// A box of radius r has variance r (r + 1) / 3; the three boxes take radii r or r + 1 so that
// their variances add up as close as possible to sigma^2 (after Kovesi's "boxes for Gauss").
#include "gaussian_blur.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace trel::tool {

namespace {

constexpr double kExactLimit = 3.0;  // sigma above which box passes replace the exact kernel
constexpr double kTruncation = 3.0;  // the exact kernel covers +-3 sigma
constexpr int kBoxPasses = 3;

std::vector<float> Kernel(double sigma) {
  const int radius = std::max(1, static_cast<int>(std::ceil(kTruncation * sigma)));
  std::vector<float> k(2 * radius + 1);
  double sum = 0.0;
  for (int i = -radius; i <= radius; ++i) {
    const double v = std::exp(-0.5 * i * i / (sigma * sigma));
    k[i + radius] = static_cast<float>(v);
    sum += v;
  }
  for (float& v : k) v = static_cast<float>(v / sum);
  return k;
}

using BoxRadii = std::array<int, kBoxPasses>;

BoxRadii BoxRadiiFor(double sigma) {
  const double wanted = sigma * sigma;
  auto variance = [](int r) { return r * (r + 1.0) / 3.0; };
  const int low =
      std::max(1, static_cast<int>(std::floor((std::sqrt(1.0 + 4.0 * wanted) - 1.0) / 2.0)));
  BoxRadii best{};
  double best_error = -1.0;
  for (int wide = 0; wide <= kBoxPasses; ++wide) {
    const double total = (kBoxPasses - wide) * variance(low) + wide * variance(low + 1);
    if (best_error >= 0.0 && std::abs(total - wanted) >= best_error) continue;
    best_error = std::abs(total - wanted);
    for (int k = 0; k < kBoxPasses; ++k) best[k] = k < wide ? low + 1 : low;
  }
  return best;
}

// Row i of a block of n rows, with rows outside 0 .. n-1 continued by the edge rows.
int64_t Clamp(int64_t i, uint64_t n) {
  return std::clamp<int64_t>(i, 0, static_cast<int64_t>(n) - 1);
}

// Filters lines along x, one at a time, in a buffer padded by the edge values.
class LineFilter {
 public:
  void Exact(float* line, uint64_t n, const std::vector<float>& kernel) {
    const int radius = static_cast<int>(kernel.size() / 2);
    Load(line, n, radius);
    for (uint64_t i = 0; i < n; ++i) {
      float sum = 0.0f;
      for (size_t k = 0; k < kernel.size(); ++k) sum += kernel[k] * padded_[i + k];
      line[i] = sum;
    }
  }

  void Box(float* line, uint64_t n, const BoxRadii& radii) {
    for (int radius : radii) {
      const float scale = 1.0f / static_cast<float>(2 * radius + 1);
      Load(line, n, radius);
      float sum = 0.0f;
      for (int k = 0; k < 2 * radius + 1; ++k) sum += padded_[k];
      for (uint64_t i = 0; i < n; ++i) {
        line[i] = sum * scale;
        sum += padded_[i + 2 * radius + 1] - padded_[i];
      }
    }
  }

 private:
  void Load(const float* line, uint64_t n, int radius) {
    padded_.resize(n + 2 * radius + 1);
    std::copy(line, line + n, padded_.begin() + radius);
    std::fill(padded_.begin(), padded_.begin() + radius, line[0]);
    std::fill(padded_.begin() + radius + static_cast<int64_t>(n), padded_.end(), line[n - 1]);
  }
  std::vector<float> padded_;
};

// Filters a block of n rows of `inner` contiguous values (the y or z axis).
class BlockFilter {
 public:
  BlockFilter(uint64_t n, uint64_t inner) : n_(n), inner_(inner), copy_(n * inner) {}

  void Exact(float* block, const std::vector<float>& kernel) {
    std::copy(block, block + n_ * inner_, copy_.begin());
    const auto radius = static_cast<int64_t>(kernel.size() / 2);
    for (uint64_t i = 0; i < n_; ++i) {
      float* out = block + i * inner_;
      std::fill(out, out + inner_, 0.0f);
      for (int64_t k = -radius; k <= radius; ++k) {
        const float w = kernel[static_cast<size_t>(k + radius)];
        const float* in = copy_.data() + Clamp(static_cast<int64_t>(i) + k, n_) * inner_;
        for (uint64_t j = 0; j < inner_; ++j) out[j] += w * in[j];
      }
    }
  }

  void Box(float* block, const BoxRadii& radii) {
    sum_.resize(inner_);
    for (int radius : radii) {
      const float scale = 1.0f / static_cast<float>(2 * radius + 1);
      std::copy(block, block + n_ * inner_, copy_.begin());
      std::fill(sum_.begin(), sum_.end(), 0.0f);
      for (int64_t k = -radius; k <= radius; ++k) Add(Row(k), 1.0f);
      for (uint64_t i = 0; i < n_; ++i) {
        float* out = block + i * inner_;
        for (uint64_t j = 0; j < inner_; ++j) out[j] = sum_[j] * scale;
        const auto next = static_cast<int64_t>(i);
        Add(Row(next + radius + 1), 1.0f);
        Add(Row(next - radius), -1.0f);
      }
    }
  }

 private:
  const float* Row(int64_t i) const { return copy_.data() + Clamp(i, n_) * inner_; }
  void Add(const float* row, float sign) {
    for (uint64_t j = 0; j < inner_; ++j) sum_[j] += sign * row[j];
  }

  uint64_t n_, inner_;
  std::vector<float> copy_;
  std::vector<float> sum_;
};

void BlurAxis(std::vector<float>& data, const VolumeSize& size, int axis, double sigma) {
  const uint64_t n = size[axis];
  if (sigma <= 0.0 || n < 2) return;
  uint64_t inner = 1;
  for (int k = 0; k < axis; ++k) inner *= size[k];
  const uint64_t blocks = data.size() / (n * inner);
  const std::vector<float> kernel = sigma <= kExactLimit ? Kernel(sigma) : std::vector<float>();
  if (axis == 0) {
    LineFilter filter;
    for (uint64_t b = 0; b < data.size() / n; ++b) {
      float* line = data.data() + b * n;
      if (kernel.empty())
        filter.Box(line, n, BoxRadiiFor(sigma));
      else
        filter.Exact(line, n, kernel);
    }
    return;
  }
  BlockFilter filter(n, inner);
  for (uint64_t b = 0; b < blocks; ++b) {
    float* block = data.data() + b * n * inner;
    if (kernel.empty())
      filter.Box(block, BoxRadiiFor(sigma));
    else
      filter.Exact(block, kernel);
  }
}

}  // namespace

void GaussianBlur(std::vector<float>& data, const VolumeSize& size,
                  const std::array<double, 3>& sigma) {
  for (int axis = 0; axis < 3; ++axis) BlurAxis(data, size, axis, sigma[axis]);
}

}  // namespace trel::tool
