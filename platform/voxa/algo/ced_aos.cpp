// Coherence-enhancing diffusion (J. Weickert, "Coherence-enhancing diffusion filtering", IJCV
// 1999) solved by additive operator splitting (Weickert, ter Haar Romeny & Viergever 1998).
// One time step:
//   1. structure tensor J_rho = K_rho * (grad u_sigma grad u_sigma^T)
//   2. diffusion tensor D = alpha I + (lambda - alpha) e e^T, e the eigenvector of J's smallest
//      eigenvalue (the direction of coherent structure), lambda = alpha + (1 - alpha)
//      exp(-C / kappa), kappa = (mu_max - mu_min)^2 the coherence
//   3. f = u + tau * sum_{p != q} d_p (D_pq d_q u)   (mixed terms, explicit, in flux form)
//   4. u' = 1/m sum_l (I - m tau A_l(D_ll))^-1 f     (the AOS step, one tridiagonal per axis)
// Every flux is taken between neighbours and vanishes at the image border, so the mean is kept.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "recursive_gaussian.h"
#include "tridiagonal.h"
#include "voxa/exceptions.h"
#include "voxa/filters.h"

namespace voxa {

namespace {

constexpr double kAlpha = 0.001;         // diffusivity across structure
constexpr double kCoherenceC = 1.0;      // threshold C of the coherence, at a 0..255 grey scale
constexpr double kWorkingRange = 255.0;  // grey values are scaled to 0..kWorkingRange
constexpr size_t kLaneBlock = 32;

// Sizes and strides of the volume; axes of size 1 take no part.
struct Grid {
  std::array<size_t, 3> n;
  std::array<size_t, 3> stride;
  size_t count;
  int dims;  // number of axes longer than one voxel

  explicit Grid(const Image3d<unsigned short>& im)
      : n{im.GetSizeX(), im.GetSizeY(), im.GetSizeZ()},
        stride{1, im.GetSizeX(), im.GetSizeX() * im.GetSizeY()},
        count(im.GetImageSize()),
        dims(int(n[0] > 1) + int(n[1] > 1) + int(n[2] > 1)) {}

  template <class F>
  void ForEach(F&& f) const {
    size_t i = 0;
    for (size_t z = 0; z < n[2]; ++z)
      for (size_t y = 0; y < n[1]; ++y)
        for (size_t x = 0; x < n[0]; ++x, ++i) f(i, std::array<size_t, 3>{x, y, z});
  }
};

// Tensor components: 0 xx, 1 yy, 2 zz, 3 xy, 4 xz, 5 yz.
inline int Off(int p, int q) { return 3 + p + q - 1; }

template <class T>
inline T CentralDiff(const T* u, size_t i, size_t c, size_t n, size_t s) {
  const size_t hi = c + 1 < n ? i + s : i;
  const size_t lo = c > 0 ? i - s : i;
  return (u[hi] - u[lo]) / T(2);
}

template <class T>
class CedStep {
 public:
  CedStep(const Grid& grid, T sigma, T rho, T tau)
      : g_(grid), sigma_(sigma), rho_(rho), tau_(tau) {
    for (auto& c : tensor_) c.resize(g_.count);
    smooth_.resize(g_.count);
    rhs_.resize(g_.count);
    solve_.resize(g_.count);
    cond_.resize(g_.count);
  }

  void Run(std::vector<T>& u) {
    StructureTensor(u);
    DiffusionTensor();
    MixedTerms(u);
    Aos(u);
  }

 private:
  void Smooth(std::vector<T>& v, T scale) {
    if (scale > 0) algo::GaussianSmoothVolume(v.data(), g_.n[0], g_.n[1], g_.n[2], scale);
  }

  void StructureTensor(const std::vector<T>& u) {
    smooth_ = u;
    Smooth(smooth_, sigma_);
    const T* v = smooth_.data();
    g_.ForEach([&](size_t i, const std::array<size_t, 3>& c) {
      T d[3];
      for (int k = 0; k < 3; ++k) d[k] = CentralDiff(v, i, c[k], g_.n[k], g_.stride[k]);
      for (int p = 0; p < 3; ++p) tensor_[p][i] = d[p] * d[p];
      tensor_[3][i] = d[0] * d[1];
      tensor_[4][i] = d[0] * d[2];
      tensor_[5][i] = d[1] * d[2];
    });
    const int comps = g_.n[2] > 1 ? 6 : 4;
    for (int k = 0; k < comps; ++k)
      if (k != 2) Smooth(tensor_[k], rho_);
  }

  // Replaces the structure tensor by the diffusion tensor, voxel by voxel.
  void DiffusionTensor() {
    const bool volume = g_.n[2] > 1;
    for (size_t i = 0; i < g_.count; ++i) {
      T e[3] = {0, 0, 0};
      const T beta = volume ? Coherence3(i, e) : Coherence2(i, e);
      for (int p = 0; p < 3; ++p) tensor_[p][i] = T(kAlpha) + beta * e[p] * e[p];
      tensor_[3][i] = beta * e[0] * e[1];
      tensor_[4][i] = beta * e[0] * e[2];
      tensor_[5][i] = beta * e[1] * e[2];
    }
  }

  static T Beta(T kappa) {
    if (!(kappa > T(0))) return T(0);
    return T(1 - kAlpha) * std::exp(-T(kCoherenceC) / kappa);
  }

  // 2x2 tensor: the eigenvector of the smaller eigenvalue from the double angle.
  T Coherence2(size_t i, T* e) const {
    const T a = tensor_[0][i], c = tensor_[1][i], b = tensor_[3][i];
    const T kappa = (a - c) * (a - c) + 4 * b * b;
    const T beta = Beta(kappa);
    if (beta == T(0)) return T(0);
    const T s = std::sqrt(kappa);
    const T cos2 = (a - c) / s, sin2 = 2 * b / s;
    e[0] = std::sqrt(std::max(T(0), (1 - cos2) / 2));
    e[1] = std::sqrt(std::max(T(0), (1 + cos2) / 2));
    if (sin2 > 0) e[0] = -e[0];  // e is perpendicular to (cos t, sin t), the gradient direction
    return beta;
  }

  // 3x3 tensor: eigenvalues by the trigonometric method, the eigenvector of the smallest as the
  // largest cross product of two rows of (J - mu_min I).
  T Coherence3(size_t i, T* e) const {
    const T a11 = tensor_[0][i], a22 = tensor_[1][i], a33 = tensor_[2][i];
    const T a12 = tensor_[3][i], a13 = tensor_[4][i], a23 = tensor_[5][i];
    const T q = (a11 + a22 + a33) / 3;
    const T p1 = a12 * a12 + a13 * a13 + a23 * a23;
    const T p2 = (a11 - q) * (a11 - q) + (a22 - q) * (a22 - q) + (a33 - q) * (a33 - q) + 2 * p1;
    if (!(p2 > T(0))) return T(0);
    const T p = std::sqrt(p2 / 6);
    const T b11 = (a11 - q) / p, b22 = (a22 - q) / p, b33 = (a33 - q) / p;
    const T b12 = a12 / p, b13 = a13 / p, b23 = a23 / p;
    const T det = b11 * (b22 * b33 - b23 * b23) - b12 * (b12 * b33 - b23 * b13) +
                  b13 * (b12 * b23 - b22 * b13);
    const T r = std::clamp(det / 2, T(-1), T(1));
    const T phi = std::acos(r) / 3;
    const T mu_max = q + 2 * p * std::cos(phi);
    const T mu_min = q + 2 * p * std::cos(phi + T(2.0943951023931957));
    const T beta = Beta((mu_max - mu_min) * (mu_max - mu_min));
    if (beta == T(0)) return T(0);
    const T r0[3] = {a11 - mu_min, a12, a13};
    const T r1[3] = {a12, a22 - mu_min, a23};
    const T r2[3] = {a13, a23, a33 - mu_min};
    T best[3] = {0, 0, 0};
    T best_norm = 0;
    auto consider = [&](const T* u, const T* v) {
      const T c[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                      u[0] * v[1] - u[1] * v[0]};
      const T norm = c[0] * c[0] + c[1] * c[1] + c[2] * c[2];
      if (norm > best_norm) {
        best_norm = norm;
        std::copy(c, c + 3, best);
      }
    };
    consider(r0, r1);
    consider(r0, r2);
    consider(r1, r2);
    // A repeated smallest eigenvalue leaves no single direction of coherence.
    if (!(best_norm > T(1e-12) * p2 * p2)) return T(0);
    const T inv = 1 / std::sqrt(best_norm);
    for (int k = 0; k < 3; ++k) e[k] = best[k] * inv;
    return beta;
  }

  // rhs = u + tau * sum over ordered axis pairs p != q of d_p (D_pq d_q u), as fluxes between
  // neighbours i and i + e_p, so that what leaves one voxel enters the other.
  void MixedTerms(const std::vector<T>& u) {
    rhs_ = u;
    const T* uu = u.data();
    for (int p = 0; p < 3; ++p)
      for (int q = 0; q < 3; ++q) {
        if (p == q || g_.n[p] < 2 || g_.n[q] < 2) continue;
        const T* d = tensor_[Off(p, q)].data();
        const size_t sp = g_.stride[p], sq = g_.stride[q], nq = g_.n[q];
        g_.ForEach([&](size_t i, const std::array<size_t, 3>& c) {
          if (c[p] + 1 >= g_.n[p]) return;
          const size_t j = i + sp;
          const T grad = (CentralDiff(uu, i, c[q], nq, sq) + CentralDiff(uu, j, c[q], nq, sq)) / 2;
          const T flux = tau_ * (d[i] + d[j]) / 2 * grad;
          rhs_[i] += flux;
          rhs_[j] -= flux;
        });
      }
  }

  void Aos(std::vector<T>& u) {
    const T c = T(g_.dims) * tau_;
    std::fill(u.begin(), u.end(), T(0));
    for (int l = 0; l < 3; ++l) {
      if (g_.n[l] < 2) continue;
      const T* d = tensor_[l].data();
      const size_t s = g_.stride[l];
      g_.ForEach([&](size_t i, const std::array<size_t, 3>& pos) {
        cond_[i] = pos[l] + 1 < g_.n[l] ? (d[i] + d[i + s]) / 2 : T(0);
      });
      solve_ = rhs_;
      SolveAxis(l, c);
      const T weight = T(1) / T(g_.dims);
      for (size_t i = 0; i < g_.count; ++i) u[i] += weight * solve_[i];
    }
  }

  void SolveAxis(int l, T c) {
    if (l == 2) {
      algo::SolveDiffusionLanes(solve_.data(), cond_.data(), g_.n[2], g_.stride[2], g_.stride[2],
                                c, scratch_);
      return;
    }
    if (l == 1) {
      for (size_t z = 0; z < g_.n[2]; ++z)
        algo::SolveDiffusionLanes(solve_.data() + z * g_.stride[2], cond_.data() + z * g_.stride[2],
                                  g_.n[1], g_.n[0], g_.n[0], c, scratch_);
      return;
    }
    // Along x the lines are contiguous: gather blocks of rows into lanes.
    const size_t nx = g_.n[0], rows = g_.n[1] * g_.n[2];
    for (size_t r0 = 0; r0 < rows; r0 += kLaneBlock) {
      const size_t m = std::min(kLaneBlock, rows - r0);
      block_f_.resize(nx * m);
      block_g_.resize(nx * m);
      for (size_t j = 0; j < m; ++j)
        for (size_t x = 0; x < nx; ++x) {
          block_f_[x * m + j] = solve_[(r0 + j) * nx + x];
          block_g_[x * m + j] = cond_[(r0 + j) * nx + x];
        }
      algo::SolveDiffusionLanes(block_f_.data(), block_g_.data(), nx, m, m, c, scratch_);
      for (size_t j = 0; j < m; ++j)
        for (size_t x = 0; x < nx; ++x) solve_[(r0 + j) * nx + x] = block_f_[x * m + j];
    }
  }

  const Grid& g_;
  T sigma_, rho_, tau_;
  std::array<std::vector<T>, 6> tensor_;
  std::vector<T> smooth_, rhs_, solve_, cond_, scratch_, block_f_, block_g_;
};

template <class T>
void CheckParameter(const char* name, T value) {
  if (!std::isfinite(value) || value < 0)
    throw InternalException(std::string("GrayCED_AOS: ") + name +
                            " must be a finite non-negative number, not " +
                            std::to_string(static_cast<double>(value)));
}

}  // namespace

template <class T>
void GrayCED_AOS(Image3d<unsigned short>& image, T sigma, T rho, T tau, uint64_t steps) {
  CheckParameter("sigma", sigma);
  CheckParameter("rho", rho);
  CheckParameter("tau", tau);
  if (steps == 0 || image.IsEmpty()) return;
  const auto [lo_it, hi_it] = std::minmax_element(image.begin(), image.end());
  const T lo = *lo_it, hi = *hi_it;
  if (hi == lo) return;
  const Grid grid(image);
  if (grid.dims == 0) return;
  const T scale = T(kWorkingRange) / (hi - lo);
  std::vector<T> u(grid.count);
  std::transform(image.begin(), image.end(), u.begin(), [&](unsigned short v) {
    return (T(v) - lo) * scale;
  });
  CedStep<T> step(grid, sigma, rho, tau);
  for (uint64_t k = 0; k < steps; ++k) step.Run(u);
  std::transform(u.begin(), u.end(), image.begin(), [&](T v) {
    return static_cast<unsigned short>(std::clamp(std::nearbyint(v / scale + lo), lo, hi));
  });
}

template VOXA_ALGO_API void GrayCED_AOS<float>(Image3d<unsigned short>&, float, float, float,
                                               uint64_t);
template VOXA_ALGO_API void GrayCED_AOS<double>(Image3d<unsigned short>&, double, double, double,
                                                uint64_t);

}  // namespace voxa
