#include "tiff_layout.h"

namespace voxa::tiff {

VoxelType PageLayout::Type() const {
  if (photometric == PHOTOMETRIC_PALETTE) return kVoxelPalette;
  if (samples == 3 && photometric == PHOTOMETRIC_RGB && sample_format == SAMPLEFORMAT_UINT) {
    if (bits == 8) return kVoxelRGB8;
    if (bits == 16) return kVoxelRGB16;
  }
  if (samples != 1) return kVoxelOther;
  if (sample_format == SAMPLEFORMAT_IEEEFP) {
    if (bits == 32) return kVoxelFloat32;
    if (bits == 64) return kVoxelFloat64;
    return kVoxelOther;
  }
  if (sample_format == SAMPLEFORMAT_INT) return kVoxelSigned;
  if (sample_format != SAMPLEFORMAT_UINT && sample_format != SAMPLEFORMAT_VOID) return kVoxelOther;
  if (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_MINISWHITE)
    return kVoxelOther;
  switch (bits) {
    case 1:
      return kVoxelBinary;
    case 8:
      return kVoxelGray8;
    case 16:
      return kVoxelGray16;
    case 32:
      return kVoxelGray32;
    default:
      return kVoxelOther;
  }
}

PageLayout ReadLayout(TiffFile& file) {
  TIFF* tif = file.get();
  PageLayout p;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width) ||
      !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height))
    file.Fail("Missing image size in file");
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &p.sample_format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p.planar);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric))
    p.photometric = PHOTOMETRIC_MINISBLACK;
  uint32_t subfile = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SUBFILETYPE, &subfile);
  p.reduced = (subfile & FILETYPE_REDUCEDIMAGE) != 0;
  p.tiled = TIFFIsTiled(tif) != 0;
  return p;
}

}  // namespace voxa::tiff
