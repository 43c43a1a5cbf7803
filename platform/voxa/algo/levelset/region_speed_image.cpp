// RegionSpeedImage: light smoothing in single precision, the slowly varying background taken
// out, robust normalisation between two percentiles of the values, and a logarithmic lift of the
// low intensities.
#include <algorithm>
#include <cmath>

#include "intensity/background_flattening.h"
#include "intensity/intensity_lift.h"
#include "smoothing/recursive_gaussian.h"
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
  const algo::IntensityLift lift = algo::LiftWithoutBackground(
      in.begin(), out.begin(), in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  if (lift.Flat()) {
    std::fill(out.begin(), out.end(), 0.0f);
    return;
  }
  std::transform(out.begin(), out.end(), out.begin(), [&](float v) { return lift(v); });
}

}  // namespace voxa::fls
