// GrayToFloatNormalized: a percentile-robust linear map of the grey values to 0..1.
#include "voxa/gray_to_float.h"

#include <algorithm>
#include <cmath>

#include "histogram.h"

namespace voxa {

namespace {
constexpr double kLowPercentile = 0.001;
constexpr double kHighPercentile = 0.999;
// Logarithmic lift log(1 + x / e) / log(1 + 1 / e) of the normalised values: nuclei a few percent
// of the range above the background stand out beside bright ones, as in the level-set speed image.
constexpr float kLiftScale = 0.05f;
}  // namespace

void GrayToFloatNormalized(const Image3d<unsigned short>& in, Image3d<float>& out) {
  out.MakeRoom(in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  out.SetResolution(in.GetResolution());
  out.SetOffset(in.GetOffset());
  out.SetDescription(in.GetDescription());
  if (in.IsEmpty()) return;
  const algo::Histogram histogram = algo::Histogram::OfGray(in.begin(), in.GetImageSize());
  const float low = static_cast<float>(histogram.Percentile(kLowPercentile));
  const float high = static_cast<float>(histogram.Percentile(kHighPercentile));
  if (!(high > low)) {
    std::fill(out.begin(), out.end(), 0.0f);
    return;
  }
  const float scale = 1.0f / (high - low);
  const float norm = 1.0f / std::log1p(1.0f / kLiftScale);
  std::transform(in.begin(), in.end(), out.begin(), [&](unsigned short v) {
    const float x = std::clamp((static_cast<float>(v) - low) * scale, 0.0f, 1.0f);
    return std::log1p(x / kLiftScale) * norm;
  });
}

}  // namespace voxa
