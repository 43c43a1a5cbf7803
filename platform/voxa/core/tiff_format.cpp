#include "tiff_format.h"

#include <strings.h>

#include <cstring>
#include <string>

#include "voxa/exceptions.h"

namespace voxa::tiff {

void RequireTiff(const char* file_name, int format) {
  if (!file_name) throw IOException("No file name given");
  if (format == kFormatTiff) return;
  if (format != kFormatAuto)
    throw IOException("Unsupported file format code " + std::to_string(format) + " for '" +
                      file_name + "'");
  const char* dot = std::strrchr(file_name, '.');
  if (dot && (strcasecmp(dot, ".tif") == 0 || strcasecmp(dot, ".tiff") == 0)) return;
  throw IOException(std::string("Unsupported file format of '") + file_name +
                    "' (expected a .tif or .tiff file)");
}

}  // namespace voxa::tiff
