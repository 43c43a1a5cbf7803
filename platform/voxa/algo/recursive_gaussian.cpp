#include "recursive_gaussian.h"

#include <algorithm>
#include <cmath>

namespace voxa::algo {

namespace {
constexpr double kMinSigma = 0.5;      // smallest scale of the published q(sigma) fit
constexpr double kSettleSigmas = 8.0;  // tail length in sigmas: the causal response has died out
constexpr size_t kLaneBlock = 32;      // lines gathered per block when filtering along x
}  // namespace

template <class T>
RecursiveGaussian<T>::RecursiveGaussian(double sigma) {
  sigma = std::max(sigma, kMinSigma);
  const double q = sigma >= 2.5 ? 0.98711 * sigma - 0.96330
                                : 3.97156 - 4.14554 * std::sqrt(1.0 - 0.26891 * sigma);
  const double q2 = q * q, q3 = q2 * q;
  const double b0 = 1.57825 + 2.44413 * q + 1.4281 * q2 + 0.422205 * q3;
  const double b1 = 2.44413 * q + 2.85619 * q2 + 1.26661 * q3;
  const double b2 = -(1.4281 * q2 + 1.26661 * q3);
  const double b3 = 0.422205 * q3;
  a_[0] = static_cast<T>(b1 / b0);
  a_[1] = static_cast<T>(b2 / b0);
  a_[2] = static_cast<T>(b3 / b0);
  gain_ = static_cast<T>(1.0 - (b1 + b2 + b3) / b0);
  tail_ = static_cast<size_t>(std::ceil(kSettleSigmas * sigma)) + 8;
}

// One step of the recursion r = B * in + a1 r1 + a2 r2 + a3 r3 on m lanes; `h` holds r1, r2, r3
// as three rows of m and is shifted.
template <class T>
static inline void Step(const T* in, T* out, T* h, size_t m, T B, T a1, T a2, T a3) {
  T* h1 = h;
  T* h2 = h + m;
  T* h3 = h + 2 * m;
  for (size_t j = 0; j < m; ++j) {
    const T r = B * in[j] + a1 * h1[j] + a2 * h2[j] + a3 * h3[j];
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
  const T B = gain_, a1 = a_[0], a2 = a_[1], a3 = a_[2];
  scratch.resize((tail_ + 4) * m);
  T* hist = scratch.data();    // three rows of recursion history
  T* edge = hist + 3 * m;      // the last input sample of each lane
  T* tail = edge + m;          // causal output on the continued tail
  std::copy(base + (n - 1) * stride, base + (n - 1) * stride + m, edge);

  // Causal pass, starting in the steady state of the first sample.
  for (size_t r = 0; r < 3; ++r) std::copy(base, base + m, hist + r * m);
  for (size_t k = 0; k < n; ++k) Step(base + k * stride, base + k * stride, hist, m, B, a1, a2, a3);
  for (size_t k = 0; k < tail_; ++k) Step(edge, tail + k * m, hist, m, B, a1, a2, a3);

  // Anticausal pass, from the steady state of the edge value at the end of the tail.
  for (size_t r = 0; r < 3; ++r) std::copy(edge, edge + m, hist + r * m);
  for (size_t k = tail_; k-- > 0;) Step(tail + k * m, tail + k * m, hist, m, B, a1, a2, a3);
  for (size_t k = n; k-- > 0;) Step(base + k * stride, base + k * stride, hist, m, B, a1, a2, a3);
}

template <class T>
void GaussianSmoothVolume(T* data, size_t nx, size_t ny, size_t nz, double sigma) {
  const RecursiveGaussian<T> filter(sigma);
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

template class RecursiveGaussian<float>;
template class RecursiveGaussian<double>;
template void GaussianSmoothVolume<float>(float*, size_t, size_t, size_t, double);
template void GaussianSmoothVolume<double>(double*, size_t, size_t, size_t, double);

}  // namespace voxa::algo
