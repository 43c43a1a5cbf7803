// Writing images as TIFF: one directory per z slice, 8-bit (also for binary images, 0 / 255),
// 16-bit or 32-bit float grey, LZW with horizontal differencing when compressed. The file is
// written under a temporary name in the target folder and renamed into place only when complete,
// so a failed or interrupted save never leaves a truncated file under the final name.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "tiff_file.h"
#include "tiff_format.h"
#include "tiff_metadata.h"
#include "voxa/exceptions.h"
#include "voxa/image3d.h"
#include "voxa/temporary_file.h"

namespace voxa {

namespace {

using tiff::TiffFile;

constexpr size_t kStripBytes = 64 * 1024;
// Above this raw size classic TIFF's 32-bit offsets may overflow: write BigTIFF.
constexpr uint64_t kBigTiffThreshold = uint64_t(3) << 30;

template <class T>
struct SampleTraits {
  using Stored = T;
  static constexpr uint16_t kBits = sizeof(T) * 8;
  static constexpr uint16_t kFormat = SAMPLEFORMAT_UINT;
};
template <>
struct SampleTraits<bool> {
  using Stored = unsigned char;
  static constexpr uint16_t kBits = 8;
  static constexpr uint16_t kFormat = SAMPLEFORMAT_UINT;
};
template <>
struct SampleTraits<float> {
  using Stored = float;
  static constexpr uint16_t kBits = 32;
  static constexpr uint16_t kFormat = SAMPLEFORMAT_IEEEFP;
};

template <class T>
void WriteSlice(TiffFile& file, const Image3d<T>& image, uint64_t z, bool compress,
                const std::string& description) {
  using Traits = SampleTraits<T>;
  using Stored = typename Traits::Stored;
  TIFF* tif = file.get();
  const uint64_t width = image.GetSizeX(), height = image.GetSizeY(), depth = image.GetSizeZ();
  const size_t row_bytes = width * sizeof(Stored);
  const uint32_t rows_per_strip =
      static_cast<uint32_t>(std::max<size_t>(1, std::min<size_t>(height, kStripBytes / row_bytes)));
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, Traits::kBits);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
  TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, Traits::kFormat);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows_per_strip);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compress ? COMPRESSION_LZW : COMPRESSION_NONE);
  if (compress)
    TIFFSetField(
        tif, TIFFTAG_PREDICTOR,
        Traits::kFormat == SAMPLEFORMAT_IEEEFP ? PREDICTOR_FLOATINGPOINT : PREDICTOR_HORIZONTAL);
  tiff::WriteResolution(tif, image.GetResolution());
  if (depth > 1) {
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(std::min<uint64_t>(z, 65535)),
                 static_cast<uint16_t>(std::min<uint64_t>(depth, 65535)));
  }
  if (z == 0) TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description.c_str());
  TIFFSetField(tif, TIFFTAG_SOFTWARE, "voxa");

  // The encoder may modify the strip it is given (differencing), so strips are staged.
  std::vector<Stored> strip(size_t(rows_per_strip) * width);
  const T* slice = image.begin() + image.Index(0, 0, z);
  for (uint64_t y0 = 0, s = 0; y0 < height; y0 += rows_per_strip, ++s) {
    const uint64_t rows = std::min<uint64_t>(rows_per_strip, height - y0);
    const T* from = slice + y0 * width;
    for (size_t i = 0; i < rows * width; ++i)
      strip[i] = std::is_same_v<T, bool> ? static_cast<Stored>(from[i] ? 255 : 0)
                                         : static_cast<Stored>(from[i]);
    errno = 0;
    if (TIFFWriteEncodedStrip(tif, static_cast<uint32_t>(s), strip.data(),
                              static_cast<tmsize_t>(rows * row_bytes)) < 0)
      file.Fail("Cannot write image data to file", errno);
  }
  errno = 0;
  if (!TIFFWriteDirectory(tif)) file.Fail("Cannot write slice to file", errno);
}

}  // namespace

template <class T>
void Image3d<T>::SaveImage(const char* file_name, int format, bool compress,
                           const VOI<>* region) const {
  tiff::RequireTiff(file_name, format);
  if (region) {
    Image3d<T>(*this, region).SaveImage(file_name, format, compress, nullptr);
    return;
  }
  if (IsEmpty())
    throw IOException(std::string("Cannot save an empty image to '") + file_name + "'");
  if (size_[0] > UINT32_MAX || size_[1] > UINT32_MAX)
    throw IOException(std::string("Image too large for a TIFF file: '") + file_name + "'");
  const std::string final_name = file_name;
  TemporaryFile temporary(final_name);
  const bool big = count_ * sizeof(typename SampleTraits<T>::Stored) > kBigTiffThreshold;
  {
    // libtiff closes the descriptor it is given; the temporary keeps its own to sync and rename.
    const int fd = dup(temporary.fd());
    if (fd < 0)
      throw IOException("Cannot write file '" + final_name + "' (" + std::strerror(errno) + ")");
    TiffFile file = TiffFile::OpenForWriting(fd, file_name, big ? "w8" : "w");
    const std::string description = tiff::ComposeDescription(description_, size_[2], resolution_);
    for (uint64_t z = 0; z < size_[2]; ++z) WriteSlice(file, *this, z, compress, description);
    file.Close();
  }
  temporary.Commit();
}

template void Image3d<unsigned char>::SaveImage(const char*, int, bool, const VOI<>*) const;
template void Image3d<unsigned short>::SaveImage(const char*, int, bool, const VOI<>*) const;
template void Image3d<bool>::SaveImage(const char*, int, bool, const VOI<>*) const;
template void Image3d<float>::SaveImage(const char*, int, bool, const VOI<>*) const;

}  // namespace voxa
