// Gaussian smoothing along the axes of a volume. Gaussians from sigma 1 on use the fourth-order
// recursive filter of van Vliet, Young and Verbeek (1998): four poles, scaled to the requested
// sigma by matching the filter's variance, run forwards and backwards; the cost per voxel does not
// depend on sigma. Narrow Gaussians use the sampled kernel directly, because no low-order
// recursion represents them closely and the kernel is short there.
// Both work on "lanes": m independent signals stored side by side, element k of lane j at
// base[k * stride + j], so the compiler vectorises across lanes. The border is continued by the
// edge value.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "voxa/resolution.h"

namespace voxa::algo {

// The sigma along z, in slices, of a Gaussian that is `sigma` x/y voxels wide in space: a stack
// whose slices lie twice as far apart as its pixels is smoothed over half as many slices. Without
// a usable voxel size (a file that records none reads as equal sizes) the voxels count as cubes.
inline double DepthSigma(double sigma, const Resolution& resolution) {
  const double ratio = double(resolution.Spacing(0)) / double(resolution.Spacing(2));
  return std::isfinite(ratio) && ratio > 0 ? sigma * ratio : sigma;
}

template <class T>
class RecursiveGaussian {
 public:
  static constexpr int kOrder = 4;
  explicit RecursiveGaussian(double sigma);
  // Filters the m lanes of n elements in place. `scratch` is reused between calls.
  void FilterLanes(T* base, size_t n, size_t stride, size_t m, std::vector<T>& scratch) const;

 private:
  T gain_;       // b0 of the recursion r[k] = b0 in[k] - sum_j a_j r[k - j]
  T a_[kOrder];  // a_1 .. a_4
  size_t tail_;  // samples the causal pass runs past the end to settle the edge continuation
};

template <class T>
class SampledGaussian {
 public:
  explicit SampledGaussian(double sigma);
  void FilterLanes(T* base, size_t n, size_t stride, size_t m, std::vector<T>& scratch) const;

 private:
  std::vector<T> weights_;  // weights_[r + d] for offsets d = -r .. r, summing to 1
  size_t radius_;
};

// Smooths a volume of size (nx, ny, nz), x fastest, along each axis of non-unit size, on up to
// `threads` threads (the result does not depend on how many).
template <class T>
void GaussianSmoothVolume(T* data, size_t nx, size_t ny, size_t nz, double sigma,
                          unsigned threads = 1);
// As above with its own sigma along z (in slices); 0 leaves an axis unsmoothed.
template <class T>
void GaussianSmoothVolume(T* data, size_t nx, size_t ny, size_t nz, double sigma, double sigma_z,
                          unsigned threads = 1);
// With its own sigma along each axis, in voxels.
template <class T>
void GaussianSmoothAxes(T* data, size_t nx, size_t ny, size_t nz, double sigma_x, double sigma_y,
                        double sigma_z, unsigned threads = 1);

}  // namespace voxa::algo
