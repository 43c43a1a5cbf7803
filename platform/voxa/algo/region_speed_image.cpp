// RegionSpeedImage: light smoothing in single precision, robust normalisation between two
// percentiles of the grey-value histogram, and a logarithmic lift of the low intensities.
#include <algorithm>
#include <cmath>

#include "histogram.h"
#include "recursive_gaussian.h"
#include "voxa/fls.h"

namespace voxa::fls {

namespace {

// Smoothing in voxels; besides the noise it removes the integer steps that an earlier 16-bit
// smoothing leaves in dim regions, where a nucleus may be only two grey values above background.
constexpr double kSmoothingSigma = 1.0;
// The normalisation range: percentiles that ignore a few hot or dead voxels.
constexpr double kLowPercentile = 0.001;
constexpr double kHighPercentile = 0.999;
// e of the lift log(1 + x / e) / log(1 + 1 / e): the share of the normalised range below which
// the curve is close to linear. Small enough that a nucleus a few percent of the range above the
// background stands out, large enough that background noise is not blown up.
constexpr float kLiftScale = 0.05f;

}  // namespace

void RegionSpeedImage(const Image3d<unsigned short>& in, Image3d<float>& out) {
  out.MakeRoom(in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  out.SetResolution(in.GetResolution());
  out.SetOffset(in.GetOffset());
  out.SetDescription(in.GetDescription());
  if (in.IsEmpty()) return;
  std::copy(in.begin(), in.end(), out.begin());
  algo::GaussianSmoothVolume(out.begin(), in.GetSizeX(), in.GetSizeY(), in.GetSizeZ(),
                             kSmoothingSigma);
  const algo::Histogram histogram = algo::Histogram::OfGray(in.begin(), in.GetImageSize());
  const float low = static_cast<float>(histogram.Percentile(kLowPercentile));
  const float high = static_cast<float>(histogram.Percentile(kHighPercentile));
  if (!(high > low)) {
    std::fill(out.begin(), out.end(), 0.0f);
    return;
  }
  const float scale = 1.0f / (high - low);
  const float norm = 1.0f / std::log1p(1.0f / kLiftScale);
  std::transform(out.begin(), out.end(), out.begin(), [&](float v) {
    const float x = std::max(0.0f, (v - low) * scale);
    return std::log1p(x / kLiftScale) * norm;
  });
}

}  // namespace voxa::fls
