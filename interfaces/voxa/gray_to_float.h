// Conversion of a 16-bit grey image to floats in a range that does not depend on the camera's
// bit depth or exposure, so that model weights chosen once suit 8-bit and 16-bit data alike.
#pragma once

#include "voxa/export.h"
#include "voxa/image3d.h"

namespace voxa {

// out (sized like in, with its geometry) = L((in - p_low) / (p_high - p_low) clamped to 0..1),
// where p_low and p_high are the 0.1 % and 99.9 % percentiles of in (a few hot or dead voxels do
// not squeeze the range) and L(x) = log(1 + x / 0.05) / log(1 + 1 / 0.05) lifts low intensities, so
// that dim nuclei beside bright ones stand out. L maps 0..1 onto 0..1. A constant image gives all
// zeros. Cost: two passes over the image.
VOXA_ALGO_API void GrayToFloatNormalized(const Image3d<unsigned short>& in, Image3d<float>& out);

}  // namespace voxa
