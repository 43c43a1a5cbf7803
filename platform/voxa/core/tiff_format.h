// Which file format a name stands for; only TIFF is supported.
#pragma once

#include "voxa/voxel_type.h"

namespace voxa::tiff {

// Throws IOException unless `format` (or, for kFormatAuto, the extension of `file_name`) is TIFF.
void RequireTiff(const char* file_name, int format);

}  // namespace voxa::tiff
