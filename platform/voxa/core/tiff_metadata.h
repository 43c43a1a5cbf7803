// Voxel size and description as TIFF files carry them: XResolution / YResolution with their
// ResolutionUnit for x and y, and the ImageJ-style "spacing=" line of the ImageDescription for z
// (with "unit=" naming the length unit), which is what microscopy files written by common tools
// hold. Resolutions are kept in voxels per micrometre.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>

#include "voxa/image3d.h"

namespace voxa::tiff {

// Splits "key=value" lines; a text without such lines is kept whole under the key "text".
Description ParseDescription(const char* text);

// The ImageJ-style description written with a file: the structural entries (stack size, unit,
// z spacing) from the image's geometry, followed by the image's own entries.
std::string ComposeDescription(const Description& own, uint64_t slices, const Resolution& res);

// Resolution of the current directory and the z spacing of the description.
Resolution ReadResolution(TIFF* tif, const Description& description);

void WriteResolution(TIFF* tif, const Resolution& res);

}  // namespace voxa::tiff
