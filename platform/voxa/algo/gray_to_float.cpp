// GrayToFloatNormalized: the robust, lifted intensity scale, clamped to 0..1.
#include "voxa/gray_to_float.h"

#include <algorithm>
#include <cmath>

#include "intensity_lift.h"

namespace voxa {

void GrayToFloatNormalized(const Image3d<unsigned short>& in, Image3d<float>& out) {
  out.MakeRoom(in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  out.SetResolution(in.GetResolution());
  out.SetOffset(in.GetOffset());
  out.SetDescription(in.GetDescription());
  if (in.IsEmpty()) return;
  const algo::IntensityLift lift = algo::IntensityLift::Of(in.begin(), in.GetImageSize());
  if (lift.Flat()) {
    std::fill(out.begin(), out.end(), 0.0f);
    return;
  }
  std::transform(in.begin(), in.end(), out.begin(),
                 [&](unsigned short v) { return lift(static_cast<float>(v), 1.0f); });
}

}  // namespace voxa
