#include "smoothing/recursive_gaussian.h"

#include "parallel_for.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace voxa::algo {

namespace {

constexpr double kRecursiveFromSigma = 1.0;  // below: the sampled kernel
constexpr double kKernelSigmas = 4.0;        // radius of the sampled kernel
constexpr double kSettleSigmas = 8.0;        // tail length of the edge continuation
constexpr size_t kLaneBlock = 64;            // rows gathered per block when filtering along x
constexpr size_t kLaneChunk = 512;           // lanes per share of the work along y and z

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

// The recursion r[k] = b0 in[k] - sum_j a_j r[k - j] on m lanes, where row(k) gives the address
// of row k: the outputs themselves serve as the history, so nothing is shifted.
template <class T, class RowOf, class InputOf>
static inline void Recurse(T b0, const T* a, size_t m, long first, long last, long dir, RowOf row,
                           InputOf input) {
  for (long k = first; k != last + dir; k += dir) {
    const T* in = input(k);
    const T* r1 = row(k - dir);
    const T* r2 = row(k - 2 * dir);
    const T* r3 = row(k - 3 * dir);
    const T* r4 = row(k - 4 * dir);
    T* out = row(k);
    for (size_t j = 0; j < m; ++j)
      out[j] = b0 * in[j] - a[0] * r1[j] - a[1] * r2[j] - a[2] * r3[j] - a[3] * r4[j];
  }
}

template <class T>
void RecursiveGaussian<T>::FilterLanes(T* base, size_t n, size_t stride, size_t m,
                                       std::vector<T>& scratch) const {
  if (n == 0 || m == 0) return;
  // Rows 0 .. n-1 are the lanes, n .. n+tail-1 the continued tail; rows before 0 (causal) and
  // after the tail (anticausal) hold the steady state of the edge values.
  scratch.resize((tail_ + 2) * m);
  T* first = scratch.data();
  T* edge = first + m;
  T* tail = edge + m;
  std::copy(base, base + m, first);
  std::copy(base + (n - 1) * stride, base + (n - 1) * stride + m, edge);
  const long ln = static_cast<long>(n), end = ln + static_cast<long>(tail_);
  auto causal_row = [&](long k) -> T* {
    if (k < 0) return first;
    return k < ln ? base + size_t(k) * stride : tail + size_t(k - ln) * m;
  };
  auto causal_input = [&](long k) -> const T* { return k < ln ? base + size_t(k) * stride : edge; };
  Recurse(gain_, a_, m, 0, end - 1, 1, causal_row, causal_input);
  auto anticausal_row = [&](long k) -> T* {
    if (k >= end) return edge;
    return k < ln ? base + size_t(k) * stride : tail + size_t(k - ln) * m;
  };
  Recurse(gain_, a_, m, end - 1, 0, -1, anticausal_row, anticausal_row);
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

// out[j] = sum_t w[t] in[t * step + j] for j < count, one tap at a time (each pass vectorises).
template <class T>
static void Convolve(const T* __restrict in, size_t step, const std::vector<T>& weights,
                     T* __restrict out, size_t count) {
  const T w0 = weights[0];
  for (size_t j = 0; j < count; ++j) out[j] = w0 * in[j];
  for (size_t t = 1; t < weights.size(); ++t) {
    const T wt = weights[t];
    const T* __restrict row = in + t * step;
    for (size_t j = 0; j < count; ++j) out[j] += wt * row[j];
  }
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
  for (size_t k = 0; k < n; ++k)
    Convolve(scratch.data() + k * m, m, weights_, base + k * stride, m);
}

namespace {

// Along x the lines are contiguous: blocks of rows are gathered into lanes, filtered and put back.
// Every block is independent, so the threads share them out; so are the lane chunks along y and
// z. Each lane is computed alone, which keeps the result the same for any number of threads.
template <class T, class Filter>
void SmoothAlongX(const Filter& filter, T* data, size_t nx, size_t ny, size_t nz,
                  unsigned threads) {
  if (nx <= 1) return;
  const size_t rows = ny * nz;
  const auto blocks = static_cast<ptrdiff_t>((rows + kLaneBlock - 1) / kLaneBlock);
  struct Scratch {
    std::vector<T> block, lanes;
  };
  ParallelFor<Scratch>(blocks, threads, [&](ptrdiff_t b, Scratch& s) {
    const size_t r0 = size_t(b) * kLaneBlock, m = std::min(kLaneBlock, rows - r0);
    s.block.resize(nx * m);
    for (size_t j = 0; j < m; ++j)
      for (size_t x = 0; x < nx; ++x) s.block[x * m + j] = data[(r0 + j) * nx + x];
    filter.FilterLanes(s.block.data(), nx, m, m, s.lanes);
    for (size_t j = 0; j < m; ++j)
      for (size_t x = 0; x < nx; ++x) data[(r0 + j) * nx + x] = s.block[x * m + j];
  });
}

// `planes` groups of `lanes` lanes of n elements `stride` apart, filtered in chunks of lanes.
template <class T, class Filter>
void FilterLaneChunks(const Filter& filter, T* data, size_t planes, size_t plane_step, size_t n,
                      size_t stride, size_t lanes, unsigned threads) {
  const size_t chunks = (lanes + kLaneChunk - 1) / kLaneChunk;
  const auto jobs = static_cast<ptrdiff_t>(planes * chunks);
  ParallelFor<std::vector<T>>(jobs, threads, [&](ptrdiff_t job, std::vector<T>& scratch) {
    const size_t plane = size_t(job) / chunks, c0 = (size_t(job) % chunks) * kLaneChunk;
    filter.FilterLanes(data + plane * plane_step + c0, n, stride, std::min(kLaneChunk, lanes - c0),
                       scratch);
  });
}

template <class T, class Filter>
void SmoothAlongY(const Filter& filter, T* data, size_t nx, size_t ny, size_t nz,
                  unsigned threads) {
  if (ny > 1) FilterLaneChunks(filter, data, nz, nx * ny, ny, nx, nx, threads);
}

template <class T, class Filter>
void SmoothDepth(const Filter& filter, T* data, size_t nx, size_t ny, size_t nz, unsigned threads) {
  const size_t plane = nx * ny;
  if (nz > 1) FilterLaneChunks(filter, data, 1, 0, nz, plane, plane, threads);
}

// Calls smooth(filter) with the filter that represents a Gaussian of `sigma` best.
template <class T, class Smooth>
void WithGaussian(double sigma, Smooth&& smooth) {
  if (sigma >= kRecursiveFromSigma)
    smooth(RecursiveGaussian<T>(sigma));
  else
    smooth(SampledGaussian<T>(sigma));
}

}  // namespace

template <class T>
void GaussianSmoothVolume(T* data, size_t nx, size_t ny, size_t nz, double sigma,
                          unsigned threads) {
  GaussianSmoothVolume(data, nx, ny, nz, sigma, sigma, threads);
}

template <class T>
void GaussianSmoothVolume(T* data, size_t nx, size_t ny, size_t nz, double sigma, double sigma_z,
                          unsigned threads) {
  GaussianSmoothAxes(data, nx, ny, nz, sigma, sigma, sigma_z, threads);
}

template <class T>
void GaussianSmoothAxes(T* data, size_t nx, size_t ny, size_t nz, double sigma_x, double sigma_y,
                        double sigma_z, unsigned threads) {
  threads = std::max(threads, 1u);
  if (sigma_x > 0)
    WithGaussian<T>(sigma_x,
                    [&](const auto& filter) { SmoothAlongX(filter, data, nx, ny, nz, threads); });
  if (sigma_y > 0)
    WithGaussian<T>(sigma_y,
                    [&](const auto& filter) { SmoothAlongY(filter, data, nx, ny, nz, threads); });
  if (sigma_z > 0)
    WithGaussian<T>(sigma_z,
                    [&](const auto& filter) { SmoothDepth(filter, data, nx, ny, nz, threads); });
}

template class RecursiveGaussian<float>;
template class RecursiveGaussian<double>;
template class SampledGaussian<float>;
template class SampledGaussian<double>;
template void GaussianSmoothVolume<float>(float*, size_t, size_t, size_t, double, unsigned);
template void GaussianSmoothVolume<double>(double*, size_t, size_t, size_t, double, unsigned);
template void GaussianSmoothVolume<float>(float*, size_t, size_t, size_t, double, double, unsigned);
template void GaussianSmoothVolume<double>(double*, size_t, size_t, size_t, double, double,
                                           unsigned);
template void GaussianSmoothAxes<float>(float*, size_t, size_t, size_t, double, double, double,
                                        unsigned);

}  // namespace voxa::algo
