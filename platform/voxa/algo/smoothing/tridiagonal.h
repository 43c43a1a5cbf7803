// Thomas algorithm for the symmetric diagonally dominant systems (I - c A) x = f of one AOS
// direction, A the 1D diffusion operator with reflecting ends. Solved on m lanes at once, element
// k of lane j at base[k * stride + j], like the recursive Gaussian. O(n) per lane.
#pragma once

#include <cstddef>
#include <vector>

namespace voxa::algo {

// f holds the right-hand side and receives x. g[k * stride + j] is the conductance between
// elements k and k + 1 of lane j (unused for k = n - 1); c is the factor m * tau of the scheme.
template <class T>
void SolveDiffusionLanes(T* f, const T* g, size_t n, size_t stride, size_t m, T c,
                         std::vector<T>& scratch) {
  if (n == 0 || m == 0) return;
  scratch.resize(n * m);
  T* cp = scratch.data();  // the eliminated super-diagonal, row k at cp[k * m]
  // Row k: -c g_{k-1} x_{k-1} + (1 + c (g_{k-1} + g_k)) x_k - c g_k x_{k+1} = f_k.
  for (size_t j = 0; j < m; ++j) {
    const T gk = n > 1 ? g[j] : T(0);
    const T diag = T(1) + c * gk;
    cp[j] = -c * gk / diag;
    f[j] /= diag;
  }
  for (size_t k = 1; k < n; ++k) {
    const T* gprev = g + (k - 1) * stride;
    const T* gk = g + k * stride;
    const T* fprev = f + (k - 1) * stride;
    T* fk = f + k * stride;
    const T* cprev = cp + (k - 1) * m;
    T* ck = cp + k * m;
    const bool last = k + 1 == n;
    for (size_t j = 0; j < m; ++j) {
      const T lower = -c * gprev[j];
      const T upper = last ? T(0) : -c * gk[j];
      const T diag = T(1) + c * gprev[j] - upper;
      const T denom = diag - lower * cprev[j];
      ck[j] = upper / denom;
      fk[j] = (fk[j] - lower * fprev[j]) / denom;
    }
  }
  for (size_t k = n - 1; k-- > 0;) {
    T* fk = f + k * stride;
    const T* fnext = f + (k + 1) * stride;
    const T* ck = cp + k * m;
    for (size_t j = 0; j < m; ++j) fk[j] -= ck[j] * fnext[j];
  }
}

}  // namespace voxa::algo
