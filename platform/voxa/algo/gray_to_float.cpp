// GrayToFloatNormalized: an uneven background taken out, then the robust, lifted intensity
// scale, clamped to 0..1.
#include "voxa/gray_to_float.h"

#include <algorithm>
#include <cmath>

#include "background_flattening.h"
#include "intensity_lift.h"

namespace voxa {

void GrayToFloatNormalized(const Image3d<unsigned short>& in, Image3d<float>& out) {
  out.MakeRoom(in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  out.SetResolution(in.GetResolution());
  out.SetOffset(in.GetOffset());
  out.SetDescription(in.GetDescription());
  if (in.IsEmpty()) return;
  std::copy(in.begin(), in.end(), out.begin());
  const size_t nx = in.GetSizeX(), ny = in.GetSizeY(), nz = in.GetSizeZ();
  const auto background = algo::UnevenBackground(out.begin(), nx, ny, nz);
  algo::IntensityLift lift = algo::IntensityLift::Of(in.begin(), in.GetImageSize());
  if (background) {
    algo::SubtractBackground(out.begin(), *background, nx, ny, nz);
    lift = algo::IntensityLift::OfFloat(out.begin(), in.GetImageSize());
  }
  if (lift.Flat()) {
    std::fill(out.begin(), out.end(), 0.0f);
    return;
  }
  std::transform(out.begin(), out.end(), out.begin(), [&](float v) { return lift(v, 1.0f); });
}

}  // namespace voxa
