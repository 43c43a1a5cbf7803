// RegionSpeedImage: light smoothing in single precision, the slowly varying background taken
// out, robust normalisation between two percentiles of the values, and a logarithmic lift of the
// low intensities.
#include <algorithm>
#include <cmath>
#include <vector>

#include "background_flattening.h"
#include "intensity_lift.h"
#include "recursive_gaussian.h"
#include "voxa/fls.h"

namespace voxa::fls {

namespace {

// Smoothing in voxels; besides the noise it removes the integer steps that an earlier 16-bit
// smoothing leaves in dim regions, where a nucleus may be only two grey values above background.
constexpr double kSmoothingSigma = 1.0;
}  // namespace

void RegionSpeedImage(const Image3d<unsigned short>& in, Image3d<float>& out) {
  out.MakeRoom(in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  out.SetResolution(in.GetResolution());
  out.SetOffset(in.GetOffset());
  out.SetDescription(in.GetDescription());
  if (in.IsEmpty()) return;
  std::copy(in.begin(), in.end(), out.begin());
  algo::GaussianSmoothVolume(out.begin(), in.GetSizeX(), in.GetSizeY(), in.GetSizeZ(),
                             kSmoothingSigma,
                             algo::DepthSigma(kSmoothingSigma, in.GetResolution()));
  const size_t nx = in.GetSizeX(), ny = in.GetSizeY(), nz = in.GetSizeZ();
  const auto background = algo::UnevenBackground(out.begin(), nx, ny, nz);
  algo::IntensityLift lift = algo::IntensityLift::Of(in.begin(), in.GetImageSize());
  if (background) {
    // The scale comes from the grey values as given, less the background, as for an even one.
    algo::SubtractBackground(out.begin(), *background, nx, ny, nz);
    std::vector<float> given(in.begin(), in.end());
    algo::SubtractBackground(given.data(), *background, nx, ny, nz);
    lift = algo::IntensityLift::OfFloat(given.data(), given.size());
  }
  if (lift.Flat()) {
    std::fill(out.begin(), out.end(), 0.0f);
    return;
  }
  std::transform(out.begin(), out.end(), out.begin(), [&](float v) { return lift(v); });
}

}  // namespace voxa::fls
