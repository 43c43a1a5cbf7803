// Coherence-enhancing diffusion (J. Weickert, "Coherence-enhancing diffusion filtering", IJCV
// 1999) solved by additive operator splitting (Weickert, ter Haar Romeny & Viergever 1998).
// One time step:
//   1. structure tensor J_rho = K_rho * (grad u_sigma grad u_sigma^T)
//   2. diffusion tensor D with the eigenvectors of J: alpha across the structure (along e1, the
//      eigenvector of the largest eigenvalue), and along the structure alpha + (1 - alpha)
//      exp(-C / kappa), kappa = (mu_1 - mu_k)^2 the coherence; in 3D along both e2 and e3, each
//      with its own coherence, so plates and tubes are both followed
//   3. f = u + tau * sum_{p != q} d_p (D_pq d_q u)   (mixed terms, explicit, in flux form)
//   4. u' = 1/m sum_l (I - m tau A_l(D_ll))^-1 f     (the AOS step, one tridiagonal per axis)
// Every flux is taken between neighbours and vanishes at the image border, so the mean is kept.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "parallel_for.h"
#include "smoothing/recursive_gaussian.h"
#include "smoothing/tridiagonal.h"
#include "voxa/exceptions.h"
#include "voxa/filters.h"

namespace voxa {

namespace {

constexpr double kAlpha = 0.001;     // diffusivity across structure
constexpr double kCoherenceC = 1.0;  // threshold C of the coherence, at a 0..255 grey scale
constexpr double kWorkingRange = 255.0;
constexpr double kNegligibleExponent =
    60.0;  // exp(-60) ~ 1e-26  // grey values are scaled to 0..kWorkingRange
constexpr size_t kLaneBlock = 32;
constexpr size_t kLineChunk = 512;  // neighbouring lines per share of the threads' work
constexpr size_t kMinPiece = 4096;  // voxels below which a loop is not worth sharing out
// The mixed terms are explicit, which bounds the stable time step: longer steps are split into
// sub-steps of at most this length (more axis pairs in 3D, so a shorter bound there).
constexpr double kMaxSubStep2D = 1.0;
constexpr double kMaxSubStep3D = 0.5;

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

  // Blocks of n[axis] * stride[axis] voxels: within each, voxel i and i + stride are neighbours
  // along the axis for the first (n - 1) * stride positions.
  size_t Block(int axis) const { return n[axis] * stride[axis]; }
};

// Tensor components: 0 xx, 1 yy, 2 zz, 3 xy, 4 xz, 5 yz.
inline int Off(int p, int q) {
  return 3 + p + q - 1;
}

// f(lo, hi) over [begin, end) in one contiguous piece per thread. Every element is computed
// alone, so the result is the same for any number of threads.
template <class F>
void ForRange(size_t begin, size_t end, unsigned threads, const F& f) {
  if (end <= begin) return;
  const size_t pieces = std::min<size_t>(threads, (end - begin + kMinPiece - 1) / kMinPiece);
  if (pieces <= 1) return f(begin, end);
  algo::ParallelFor<algo::NoState>(static_cast<ptrdiff_t>(pieces), threads,
                                   [&](ptrdiff_t k, algo::NoState&) {
                                     f(begin + (end - begin) * size_t(k) / pieces,
                                       begin + (end - begin) * size_t(k + 1) / pieces);
                                   });
}

// Voxel by voxel.
template <class F>
void ForVoxels(size_t count, unsigned threads, const F& f) {
  ForRange(0, count, threads, [&](size_t lo, size_t hi) {
    for (size_t i = lo; i < hi; ++i) f(i);
  });
}

// The lines along an axis (n voxels, stride s) come in blocks of n * s voxels holding s lines side
// by side; the axis operations below run one formula over the whole volume and then mend the
// first or last voxel of every line.

// Central differences along an axis, one-sided at reflecting ends.
template <class T>
void AxisDifference(const T* u, T* out, size_t n, size_t s, size_t count, unsigned threads) {
  if (n < 2) {
    std::fill(out, out + count, T(0));
    return;
  }
  ForRange(s, count - s, threads, [&](size_t lo, size_t hi) {
    for (size_t i = lo; i < hi; ++i) out[i] = (u[i + s] - u[i - s]) / 2;
  });
  for (size_t b = 0; b < count; b += n * s)
    for (size_t j = 0; j < s; ++j) {
      const size_t first = b + j, last = b + (n - 1) * s + j;
      out[first] = (u[first + s] - u[first]) / 2;
      out[last] = (u[last] - u[last - s]) / 2;
    }
}

// out[i] = (d[i] + d[i + s]) / 2 * (g[i] + g[i + s]) / 2 * factor between neighbours along the
// axis, 0 on the last voxel of each line: the flux from i to i + s.
template <class T>
void AxisFlux(const T* d, const T* g, T* out, T factor, size_t n, size_t s, size_t count,
              unsigned threads) {
  ForRange(0, count - s, threads, [&](size_t lo, size_t hi) {
    for (size_t i = lo; i < hi; ++i) out[i] = factor * (d[i] + d[i + s]) * (g[i] + g[i + s]);
  });
  for (size_t b = 0; b < count; b += n * s) std::fill_n(out + b + (n - 1) * s, s, T(0));
}

// out[i] = (d[i] + d[i + s]) / 2, the conductance between neighbours along the axis; 0 on the
// last voxel of each line, where the line ends.
template <class T>
void AxisMean(const T* d, T* out, size_t n, size_t s, size_t count, unsigned threads) {
  ForRange(0, count - s, threads, [&](size_t lo, size_t hi) {
    for (size_t i = lo; i < hi; ++i) out[i] = (d[i] + d[i + s]) / 2;
  });
  for (size_t b = 0; b < count; b += n * s) std::fill_n(out + b + (n - 1) * s, s, T(0));
}

// rhs[i] += flux[i] - flux[i - s]: what flows to the next voxel leaves, what comes from the
// previous one arrives, so the sum of rhs is kept. The flux is 0 on the last voxel of every line
// (AxisFlux), so the first voxel of a line takes nothing from the line before it.
template <class T>
void AddDivergence(const T* flux, T* rhs, size_t s, size_t count, unsigned threads) {
  for (size_t i = 0; i < s; ++i) rhs[i] += flux[i];
  ForRange(s, count, threads, [&](size_t lo, size_t hi) {
    for (size_t i = lo; i < hi; ++i) rhs[i] += flux[i] - flux[i - s];
  });
}

template <class T>
class CedStep {
 public:
  CedStep(const Grid& grid, T sigma, T rho, T tau, unsigned threads)
      : g_(grid), sigma_(sigma), rho_(rho), tau_(tau), threads_(std::max(threads, 1u)) {
    for (auto& c : tensor_) c.resize(g_.count);
    smooth_.resize(g_.count);
    rhs_.resize(g_.count);
    solve_.resize(g_.count);
    cond_.resize(g_.count);
    flux_.resize(g_.count);
  }

  void Run(std::vector<T>& u) {
    StructureTensor(u);
    DiffusionTensor();
    MixedTerms(u);
    Aos(u);
  }

 private:
  void Copy(const std::vector<T>& from, std::vector<T>& to) const {
    ForRange(0, g_.count, threads_, [&](size_t lo, size_t hi) {
      std::copy(from.begin() + ptrdiff_t(lo), from.begin() + ptrdiff_t(hi),
                to.begin() + ptrdiff_t(lo));
    });
  }

  void Smooth(std::vector<T>& v, T scale) {
    if (scale > 0) algo::GaussianSmoothVolume(v.data(), g_.n[0], g_.n[1], g_.n[2], scale, threads_);
  }

  void StructureTensor(const std::vector<T>& u) {
    Copy(u, smooth_);
    Smooth(smooth_, sigma_);
    for (int k = 0; k < 3; ++k)
      AxisDifference(smooth_.data(), tensor_[k].data(), g_.n[k], g_.stride[k], g_.count, threads_);
    T* dx = tensor_[0].data();
    T* dy = tensor_[1].data();
    T* dz = tensor_[2].data();
    ForVoxels(g_.count, threads_, [&](size_t i) {
      tensor_[3][i] = dx[i] * dy[i];
      tensor_[4][i] = dx[i] * dz[i];
      tensor_[5][i] = dy[i] * dz[i];
      dx[i] *= dx[i];
      dy[i] *= dy[i];
      dz[i] *= dz[i];
    });
    const bool volume = g_.n[2] > 1;
    for (int k = 0; k < 6; ++k)
      if (volume || k == 0 || k == 1 || k == 3) Smooth(tensor_[k], rho_);
  }

  // Replaces the structure tensor by the diffusion tensor, voxel by voxel.
  void DiffusionTensor() {
    const bool volume = g_.n[2] > 1;
    ForVoxels(g_.count, threads_, [&](size_t i) {
      T d[6];
      if (volume) {
        Diffusion3(i, d);
      } else {
        T e[2] = {0, 0};
        const T beta = Coherence2(i, e);
        d[0] = T(kAlpha) + beta * e[0] * e[0];
        d[1] = T(kAlpha) + beta * e[1] * e[1];
        d[3] = beta * e[0] * e[1];
        d[2] = T(kAlpha);
        d[4] = d[5] = T(0);
      }
      for (int k = 0; k < 6; ++k) tensor_[k][i] = d[k];
    });
  }

  static T Beta(T kappa) {
    // exp(-C / kappa) is below the resolution of T long before kappa reaches 0.
    if (!(kappa > T(kCoherenceC) / T(kNegligibleExponent))) return T(0);
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

  // 3x3 tensor: eigenvalues mu1 >= mu2 >= mu3 by the trigonometric method. Diffusion runs along
  // e2 with beta(mu1 - mu2) and along e3 with beta(mu1 - mu3): along both directions of a plate,
  // along the axis of a tube. Since e1 e1' + e2 e2' + e3 e3' = I,
  //   D = (alpha + b2) I - b2 e1 e1' + (b3 - b2) e3 e3'.
  void Diffusion3(size_t i, T* d) const {
    const T a11 = tensor_[0][i], a22 = tensor_[1][i], a33 = tensor_[2][i];
    const T a12 = tensor_[3][i], a13 = tensor_[4][i], a23 = tensor_[5][i];
    const T q = (a11 + a22 + a33) / 3;
    const T p1 = a12 * a12 + a13 * a13 + a23 * a23;
    const T p2 = (a11 - q) * (a11 - q) + (a22 - q) * (a22 - q) + (a33 - q) * (a33 - q) + 2 * p1;
    std::fill(d, d + 6, T(0));
    for (int k = 0; k < 3; ++k) d[k] = T(kAlpha);
    if (!(p2 > T(0))) return;
    const T p = std::sqrt(p2 / 6);
    const T b11 = (a11 - q) / p, b22 = (a22 - q) / p, b33 = (a33 - q) / p;
    const T b12 = a12 / p, b13 = a13 / p, b23 = a23 / p;
    const T det = b11 * (b22 * b33 - b23 * b23) - b12 * (b12 * b33 - b23 * b13) +
                  b13 * (b12 * b23 - b22 * b13);
    const T phi = std::acos(std::clamp(det / 2, T(-1), T(1))) / 3;
    const T mu1 = q + 2 * p * std::cos(phi);
    const T mu3 = q + 2 * p * std::cos(phi + T(2.0943951023931957));
    const T mu2 = 3 * q - mu1 - mu3;
    const T b2 = Beta((mu1 - mu2) * (mu1 - mu2));
    const T b3 = Beta((mu1 - mu3) * (mu1 - mu3));
    T e1[3], e3[3];
    const bool has_e1 = b2 > T(0) && Eigenvector(i, mu1, p2, e1);
    const bool has_e3 = b3 > b2 && Eigenvector(i, mu3, p2, e3);
    for (int k = 0; k < 3; ++k) d[k] += b2;
    const int pair[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    if (has_e1) {
      for (int k = 0; k < 3; ++k) d[k] -= b2 * e1[k] * e1[k];
      for (int k = 0; k < 3; ++k) d[3 + k] -= b2 * e1[pair[k][0]] * e1[pair[k][1]];
    }
    if (has_e3) {
      for (int k = 0; k < 3; ++k) d[k] += (b3 - b2) * e3[k] * e3[k];
      for (int k = 0; k < 3; ++k) d[3 + k] += (b3 - b2) * e3[pair[k][0]] * e3[pair[k][1]];
    }
  }

  // Unit eigenvector of eigenvalue mu: the largest cross product of two rows of (J - mu I); false
  // when mu is repeated and the direction is not defined.
  bool Eigenvector(size_t i, T mu, T p2, T* e) const {
    const T r0[3] = {tensor_[0][i] - mu, tensor_[3][i], tensor_[4][i]};
    const T r1[3] = {tensor_[3][i], tensor_[1][i] - mu, tensor_[5][i]};
    const T r2[3] = {tensor_[4][i], tensor_[5][i], tensor_[2][i] - mu};
    T best_norm = 0;
    auto consider = [&](const T* u, const T* v) {
      const T c[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                      u[0] * v[1] - u[1] * v[0]};
      const T norm = c[0] * c[0] + c[1] * c[1] + c[2] * c[2];
      if (norm > best_norm) {
        best_norm = norm;
        std::copy(c, c + 3, e);
      }
    };
    consider(r0, r1);
    consider(r0, r2);
    consider(r1, r2);
    if (!(best_norm > T(1e-12) * p2 * p2)) return false;
    const T inv = 1 / std::sqrt(best_norm);
    for (int k = 0; k < 3; ++k) e[k] *= inv;
    return true;
  }

  // rhs = u + tau * sum over ordered axis pairs p != q of d_p (D_pq d_q u), as fluxes between
  // neighbours i and i + e_p, so that what leaves one voxel enters the other.
  void MixedTerms(const std::vector<T>& u) {
    Copy(u, rhs_);
    // The gradients go to buffers that are free at this point of the step.
    std::vector<T>* gradient[3] = {&smooth_, &solve_, &cond_};
    for (int q = 0; q < 3; ++q)
      if (g_.n[q] > 1)
        AxisDifference(u.data(), gradient[q]->data(), g_.n[q], g_.stride[q], g_.count, threads_);
    for (int p = 0; p < 3; ++p)
      for (int q = 0; q < 3; ++q) {
        if (p == q || g_.n[p] < 2 || g_.n[q] < 2) continue;
        AxisFlux(tensor_[Off(p, q)].data(), gradient[q]->data(), flux_.data(), tau_ / 4, g_.n[p],
                 g_.stride[p], g_.count, threads_);
        AddDivergence(flux_.data(), rhs_.data(), g_.stride[p], g_.count, threads_);
      }
  }

  void Aos(std::vector<T>& u) {
    const T c = T(g_.dims) * tau_;
    const T weight = T(1) / T(g_.dims);
    ForRange(0, g_.count, threads_, [&](size_t lo, size_t hi) {
      std::fill(u.begin() + ptrdiff_t(lo), u.begin() + ptrdiff_t(hi), T(0));
    });
    for (int l = 0; l < 3; ++l) {
      if (g_.n[l] < 2) continue;
      AxisMean(tensor_[l].data(), cond_.data(), g_.n[l], g_.stride[l], g_.count, threads_);
      Copy(rhs_, solve_);
      SolveAxis(l, c);
      ForVoxels(g_.count, threads_, [&](size_t i) { u[i] += weight * solve_[i]; });
    }
  }

  void SolveAxis(int l, T c) {
    if (l == 0) return SolveRows(c);
    // Along y and z the lines lie side by side: chunks of them are solved as lanes.
    const size_t n = g_.n[l], s = g_.stride[l];
    const size_t blocks = g_.count / (n * s), chunks = (s + kLineChunk - 1) / kLineChunk;
    const auto jobs = static_cast<ptrdiff_t>(blocks * chunks);
    algo::ParallelFor<std::vector<T>>(jobs, threads_, [&](ptrdiff_t job, std::vector<T>& scratch) {
      const size_t start = size_t(job) / chunks * n * s + size_t(job) % chunks * kLineChunk;
      const size_t lines = std::min(kLineChunk, s - size_t(job) % chunks * kLineChunk);
      algo::SolveDiffusionLanes(solve_.data() + start, cond_.data() + start, n, s, lines, c,
                                scratch);
    });
  }

  // Along x the lines are contiguous: blocks of rows are gathered into lanes.
  void SolveRows(T c) {
    const size_t nx = g_.n[0], rows = g_.n[1] * g_.n[2];
    const auto blocks = static_cast<ptrdiff_t>((rows + kLaneBlock - 1) / kLaneBlock);
    struct Scratch {
      std::vector<T> f, g, lanes;
    };
    algo::ParallelFor<Scratch>(blocks, threads_, [&](ptrdiff_t b, Scratch& s) {
      const size_t r0 = size_t(b) * kLaneBlock, m = std::min(kLaneBlock, rows - r0);
      s.f.resize(nx * m);
      s.g.resize(nx * m);
      for (size_t j = 0; j < m; ++j)
        for (size_t x = 0; x < nx; ++x) {
          s.f[x * m + j] = solve_[(r0 + j) * nx + x];
          s.g[x * m + j] = cond_[(r0 + j) * nx + x];
        }
      algo::SolveDiffusionLanes(s.f.data(), s.g.data(), nx, m, m, c, s.lanes);
      for (size_t j = 0; j < m; ++j)
        for (size_t x = 0; x < nx; ++x) solve_[(r0 + j) * nx + x] = s.f[x * m + j];
    });
  }

  const Grid& g_;
  T sigma_, rho_, tau_;
  unsigned threads_;
  std::array<std::vector<T>, 6> tensor_;
  std::vector<T> smooth_, rhs_, solve_, cond_, flux_;
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
  GrayCED_AOS(image, sigma, rho, tau, steps, Parallelism{});
}

template <class T>
void GrayCED_AOS(Image3d<unsigned short>& image, T sigma, T rho, T tau, uint64_t steps,
                 const Parallelism& parallelism) {
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
  std::transform(image.begin(), image.end(), u.begin(),
                 [&](unsigned short v) { return (T(v) - lo) * scale; });
  const double max_sub = grid.dims == 3 ? kMaxSubStep3D : kMaxSubStep2D;
  const uint64_t sub = std::max<uint64_t>(1, uint64_t(std::ceil(double(tau) / max_sub)));
  CedStep<T> step(grid, sigma, rho, T(tau / T(sub)), parallelism.threads);
  for (uint64_t k = 0; k < steps * sub; ++k) step.Run(u);
  std::transform(u.begin(), u.end(), image.begin(), [&](T v) {
    return static_cast<unsigned short>(std::clamp(v / scale + lo, lo, hi) + T(0.5));
  });
}

template VOXA_ALGO_API void GrayCED_AOS<float>(Image3d<unsigned short>&, float, float, float,
                                               uint64_t);
template VOXA_ALGO_API void GrayCED_AOS<double>(Image3d<unsigned short>&, double, double, double,
                                                uint64_t);
template VOXA_ALGO_API void GrayCED_AOS<float>(Image3d<unsigned short>&, float, float, float,
                                               uint64_t, const Parallelism&);
template VOXA_ALGO_API void GrayCED_AOS<double>(Image3d<unsigned short>&, double, double, double,
                                                uint64_t, const Parallelism&);

}  // namespace voxa
