// The Young-van Vliet recursive Gaussian (Young & van Vliet 1995, coefficients of Young, van
// Vliet & van Ginkel 2002) on "lanes": m independent signals stored side by side, element k of
// lane j at base[k * stride + j]. Running many lanes at once lets the compiler vectorise across
// them although each lane is a recursion. The border is continued by the edge value: the causal
// pass starts in the steady state of the first sample, and the anticausal pass starts after the
// causal pass has been run on a tail of the last sample long enough for the filter to settle.
#pragma once

#include <cstddef>
#include <vector>

namespace voxa::algo {

template <class T>
class RecursiveGaussian {
 public:
  explicit RecursiveGaussian(double sigma);

  // Filters the m lanes of n elements in place. `scratch` is reused between calls.
  void FilterLanes(T* base, size_t n, size_t stride, size_t m, std::vector<T>& scratch) const;

  // Number of tail samples the causal pass runs past the end of a line.
  size_t Tail() const { return tail_; }

 private:
  T gain_;       // B of the recursion
  T a_[3];       // feedback coefficients b_i / b0
  size_t tail_;  // settle length of the edge continuation
};

// Filters a float volume of size (nx, ny, nz), x fastest, along each axis of non-unit size.
template <class T>
void GaussianSmoothVolume(T* data, size_t nx, size_t ny, size_t nz, double sigma);

}  // namespace voxa::algo
