#include "recursive_gaussian.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace voxa::algo {

namespace {

constexpr double kRecursiveFromSigma = 2.0;  // below: the sampled kernel
constexpr double kKernelSigmas = 4.0;        // radius of the sampled kernel
constexpr double kSettleSigmas = 8.0;        // tail length of the edge continuation
constexpr size_t kLaneBlock = 32;            // rows gathered per block when filtering along x

// Poles of the fourth-order filter, optimised for sigma = 2 (van Vliet, Young & Verbeek 1998).
const std::complex<double> kPoles[4] = {
    {1.13228, 1.28114}, {1.13228, -1.28114}, {1.78534, 0.46763}, {1.78534, -0.46763}};

// Variance of the forward-backward filter whose poles are kPoles^(1/q).
double Variance(double q) {
  std::complex<double> v = 0;
  for (const auto& p : kPoles) {
    const std::complex<double> d = std::pow(p, 1.0 / q);
    v += 2.0 * d / ((d - 1.0) * (d - 1.0));
  }
  return v.real();
}

// q with Variance(q) = sigma^2, by bisection (the variance grows with q).
double ScaleForSigma(double sigma) {
  double lo = 0.05, hi = 1000.0;
  for (int it = 0; it < 100; ++it) {
    const double mid = 0.5 * (lo + hi);
    (Variance(mid) < sigma * sigma ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

}  // namespace

template <class T>
RecursiveGaussian<T>::RecursiveGaussian(double sigma) {
  const double q = ScaleForSigma(sigma);
  // Denominator prod_k (1 - z^-1 / d_k) = sum_j a_j z^-j, real because the poles are conjugate.
  std::complex<double> a[kOrder + 1] = {1.0, 0.0, 0.0, 0.0, 0.0};
  for (int k = 0; k < kOrder; ++k) {
    const std::complex<double> d = std::pow(kPoles[k], 1.0 / q);
    for (int j = k + 1; j >= 1; --j) a[j] -= a[j - 1] / d;
  }
  double sum = 0;
  for (int j = 0; j <= kOrder; ++j) sum += a[j].real();
  gain_ = static_cast<T>(sum);  // unit gain at zero frequency
  for (int j = 0; j < kOrder; ++j) a_[j] = static_cast<T>(a[j + 1].real());
  tail_ = static_cast<size_t>(std::ceil(kSettleSigmas * sigma)) + 8;
}

// One step r = b0 in - a1 r1 - a2 r2 - a3 r3 - a4 r4 on m lanes; `h` holds r1 .. r4 as four rows
// of m and is shifted.
template <class T>
static inline void Step(const T* in, T* out, T* h, size_t m, T b0, const T* a) {
  T* h1 = h;
  T* h2 = h + m;
  T* h3 = h + 2 * m;
  T* h4 = h + 3 * m;
  for (size_t j = 0; j < m; ++j) {
    const T r = b0 * in[j] - a[0] * h1[j] - a[1] * h2[j] - a[2] * h3[j] - a[3] * h4[j];
    h4[j] = h3[j];
    h3[j] = h2[j];
    h2[j] = h1[j];
    h1[j] = r;
    out[j] = r;
  }
}

template <class T>
void RecursiveGaussian<T>::FilterLanes(T* base, size_t n, size_t stride, size_t m,
                                       std::vector<T>& scratch) const {
  if (n == 0 || m == 0) return;
  scratch.resize((tail_ + kOrder + 1) * m);
  T* hist = scratch.data();     // kOrder rows of recursion history
  T* edge = hist + kOrder * m;  // the last input sample of each lane
  T* tail = edge + m;           // causal output on the continued tail
  std::copy(base + (n - 1) * stride, base + (n - 1) * stride + m, edge);

  // Causal pass, from the steady state of the first sample.
  for (int r = 0; r < kOrder; ++r) std::copy(base, base + m, hist + r * m);
  for (size_t k = 0; k < n; ++k) Step(base + k * stride, base + k * stride, hist, m, gain_, a_);
  for (size_t k = 0; k < tail_; ++k) Step(edge, tail + k * m, hist, m, gain_, a_);

  // Anticausal pass, from the steady state of the edge value at the end of the tail.
  for (int r = 0; r < kOrder; ++r) std::copy(edge, edge + m, hist + r * m);
  for (size_t k = tail_; k-- > 0;) Step(tail + k * m, tail + k * m, hist, m, gain_, a_);
  for (size_t k = n; k-- > 0;) Step(base + k * stride, base + k * stride, hist, m, gain_, a_);
}

template <class T>
SampledGaussian<T>::SampledGaussian(double sigma)
    : radius_(static_cast<size_t>(std::ceil(kKernelSigmas * sigma))) {
  std::vector<double> w(2 * radius_ + 1);
  double sum = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double d = double(i) - double(radius_);
    w[i] = std::exp(-d * d / (2 * sigma * sigma));
    sum += w[i];
  }
  for (double v : w) weights_.push_back(static_cast<T>(v / sum));
}

template <class T>
void SampledGaussian<T>::FilterLanes(T* base, size_t n, size_t stride, size_t m,
                                     std::vector<T>& scratch) const {
  if (n == 0 || m == 0) return;
  // The lanes, extended by the edge values on both sides.
  const size_t r = radius_;
  scratch.resize((n + 2 * r) * m);
  for (size_t k = 0; k < n + 2 * r; ++k) {
    const size_t src = std::min(n - 1, k < r ? 0 : k - r);
    std::copy(base + src * stride, base + src * stride + m, scratch.data() + k * m);
  }
  for (size_t k = 0; k < n; ++k) {
    T* out = base + k * stride;
    const T* in = scratch.data() + k * m;
    for (size_t j = 0; j < m; ++j) out[j] = weights_[0] * in[j];
    for (size_t t = 1; t < weights_.size(); ++t) {
      const T w = weights_[t];
      const T* row = in + t * m;
      for (size_t j = 0; j < m; ++j) out[j] += w * row[j];
    }
  }
}

namespace {

template <class T, class Filter>
void SmoothAxes(const Filter& filter, T* data, size_t nx, size_t ny, size_t nz) {
  std::vector<T> scratch;
  const size_t plane = nx * ny;
  if (nx > 1) {
    // Along x the lines are contiguous: gather blocks of rows into lanes.
    std::vector<T> block;
    const size_t rows = ny * nz;
    for (size_t r0 = 0; r0 < rows; r0 += kLaneBlock) {
      const size_t m = std::min(kLaneBlock, rows - r0);
      block.resize(nx * m);
      for (size_t j = 0; j < m; ++j)
        for (size_t x = 0; x < nx; ++x) block[x * m + j] = data[(r0 + j) * nx + x];
      filter.FilterLanes(block.data(), nx, m, m, scratch);
      for (size_t j = 0; j < m; ++j)
        for (size_t x = 0; x < nx; ++x) data[(r0 + j) * nx + x] = block[x * m + j];
    }
  }
  if (ny > 1)
    for (size_t z = 0; z < nz; ++z) filter.FilterLanes(data + z * plane, ny, nx, nx, scratch);
  if (nz > 1) filter.FilterLanes(data, nz, plane, plane, scratch);
}

}  // namespace

template <class T>
void GaussianSmoothVolume(T* data, size_t nx, size_t ny, size_t nz, double sigma) {
  if (sigma >= kRecursiveFromSigma)
    SmoothAxes(RecursiveGaussian<T>(sigma), data, nx, ny, nz);
  else
    SmoothAxes(SampledGaussian<T>(sigma), data, nx, ny, nz);
}

template class RecursiveGaussian<float>;
template class RecursiveGaussian<double>;
template class SampledGaussian<float>;
template class SampledGaussian<double>;
template void GaussianSmoothVolume<float>(float*, size_t, size_t, size_t, double);
template void GaussianSmoothVolume<double>(double*, size_t, size_t, size_t, double);

}  // namespace voxa::algo
