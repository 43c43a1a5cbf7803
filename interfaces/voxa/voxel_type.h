// The kinds of voxel a file may hold, as told by ReadImageType before any pixel is read, so that
// a caller can choose the image type to read into or refuse the file by name.
#pragma once

#include "voxa/export.h"

namespace voxa {

enum VoxelType : int {
  kVoxelUnknown = 0,
  kVoxelBinary = 1,    // 1-bit bilevel
  kVoxelGray8 = 2,     // 8-bit unsigned grey
  kVoxelGray16 = 3,    // 16-bit unsigned grey
  kVoxelGray32 = 4,    // 32-bit unsigned grey
  kVoxelFloat32 = 5,   // 32-bit floating-point grey
  kVoxelFloat64 = 6,   // 64-bit floating-point grey
  kVoxelSigned = 7,    // signed integer grey of any width
  kVoxelRGB8 = 8,      // colour, 8 bits per channel
  kVoxelRGB16 = 9,     // colour, 16 bits per channel
  kVoxelPalette = 10,  // indexed colour
  kVoxelOther = 11,    // anything else: several channels, odd bit depths
};

// File formats a name may be read or written in; kFormatAuto picks one from the extension.
enum FileFormat : int { kFormatAuto = 0, kFormatTiff = 1 };

// A short readable name: "8-bit grey", "32-bit float grey", "8-bit RGB", ...
VOXA_CORE_API const char* VoxelTypeToString(VoxelType type);

// The voxel type of the first image of a file. format 0 picks the format from the name's
// extension (".tif", ".tiff"). Throws IOException when the file cannot be opened or parsed.
VOXA_CORE_API VoxelType ReadImageType(const char* file_name, int format);

}  // namespace voxa
