// GrayGaussIIR: the recursive Gaussian on a 16-bit image, computed in single precision;
// FloatGaussIIR: the same on floats, a sigma per axis.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "smoothing/recursive_gaussian.h"
#include "voxa/exceptions.h"
#include "voxa/filters.h"

namespace voxa {

namespace {

void RequireSigma(const char* routine, double sigma) {
  if (!std::isfinite(sigma) || sigma < 0)
    throw InternalException(std::string(routine) +
                            ": sigma must be a finite non-negative number, not " +
                            std::to_string(sigma));
}

}  // namespace

void GrayGaussIIR(Image3d<unsigned short>& image, double sigma) {
  GrayGaussIIR(image, sigma, Parallelism{});
}

void GrayGaussIIR(Image3d<unsigned short>& image, double sigma, const Parallelism& parallelism) {
  RequireSigma("GrayGaussIIR", sigma);
  if (sigma == 0 || image.IsEmpty()) return;
  std::vector<float> work(image.begin(), image.end());
  algo::GaussianSmoothVolume(work.data(), image.GetSizeX(), image.GetSizeY(), image.GetSizeZ(),
                             sigma, algo::DepthSigma(sigma, image.GetResolution()),
                             parallelism.threads);
  // Round half up after clamping; the values are non-negative there, so truncation of v + 0.5
  // rounds, and the loop vectorises (a call to nearbyint would not).
  std::transform(work.begin(), work.end(), image.begin(), [](float v) {
    // NOLINTNEXTLINE(bugprone-incorrect-roundings): non-negative, see above
    return static_cast<unsigned short>(std::clamp(v, 0.0f, 65535.0f) + 0.5f);
  });
}

void FloatGaussIIR(Image3d<float>& image, double sigma_x, double sigma_y, double sigma_z,
                   const Parallelism& parallelism) {
  for (const double sigma : {sigma_x, sigma_y, sigma_z}) RequireSigma("FloatGaussIIR", sigma);
  algo::GaussianSmoothAxes(image.begin(), image.GetSizeX(), image.GetSizeY(), image.GetSizeZ(),
                           sigma_x, sigma_y, sigma_z, parallelism.threads);
}

}  // namespace voxa
