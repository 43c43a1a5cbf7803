// What one TIFF directory (one z slice) holds, read from its tags, and the checks that keep a
// forged header from causing a crash or a huge allocation.
#pragma once

#include <tiffio.h>

#include <cstdint>

#include "tiff_file.h"
#include "voxa/voxel_type.h"

namespace voxa::tiff {

struct PageLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bits = 1;
  uint16_t samples = 1;
  uint16_t sample_format = SAMPLEFORMAT_UINT;
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t planar = PLANARCONFIG_CONTIG;
  bool tiled = false;
  bool reduced = false;  // a thumbnail, not a z slice

  VoxelType Type() const;
  bool SameGeometry(const PageLayout& o) const {
    return width == o.width && height == o.height && bits == o.bits && samples == o.samples &&
           sample_format == o.sample_format;
  }
};

PageLayout ReadLayout(TiffFile& file);

}  // namespace voxa::tiff
