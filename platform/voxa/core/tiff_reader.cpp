// Reading TIFF files into images: one directory per z slice (thumbnails skipped), 1-, 8-, 16-bit
// unsigned grey and 32-bit float, stripped or tiled, with any compression libtiff decodes. The
// decoded size is checked against the file's size before anything is allocated, so that a forged
// header cannot ask for gigabytes.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "tiff_file.h"
#include "tiff_format.h"
#include "tiff_layout.h"
#include "tiff_metadata.h"
#include "voxa/exceptions.h"
#include "voxa/image3d.h"
#include "voxa/voxel_type.h"

namespace voxa {

namespace {

using tiff::PageLayout;
using tiff::TiffFile;

// Real files compress well below these ratios; past them the header is taken as forged.
constexpr uint64_t kAlwaysAllowedBytes = uint64_t(64) << 20;
constexpr uint64_t kMaxCompressionRatio = 8192;
constexpr size_t kMaxPages = size_t(1) << 20;
// No microscope image is this long on a side; decoders spend time per row, so a forged header
// of tens of millions of one-pixel rows would otherwise keep a reader busy for minutes.
constexpr uint32_t kMaxSide = uint32_t(1) << 20;

// All directories of the file that hold a z slice, all of one geometry.
struct PageStack {
  PageLayout layout;
  std::vector<tdir_t> pages;
  Description description;
  Resolution resolution;
};

// An ImageJ hyperstack interleaves channels or time points with the z slices; read as slices it
// would give a plainly wrong image, so it is refused with the count named.
void RefuseHyperstacks(const Description& description, const std::string& path) {
  for (const auto& [key, what] : {std::pair{"channels", "channels"}, {"frames", "time points"}}) {
    const auto it = description.find(key);
    if (it == description.end()) continue;
    const long count = std::strtol(it->second.c_str(), nullptr, 10);
    if (count > 1)
      throw IOException("'" + path + "' holds " + std::to_string(count) + " " + what +
                        " (an ImageJ hyperstack): a frame file must hold one channel at one time");
  }
}

// Several samples per pixel are channels side by side (colour, or a multi-channel camera).
void RefuseChannels(const PageLayout& layout, const std::string& path) {
  if (layout.samples > 1)
    throw IOException("'" + path + "' holds " + std::to_string(layout.samples) +
                      " channels (samples per pixel): a frame file must hold one channel");
}

PageStack ScanPages(TiffFile& file) {
  TIFF* tif = file.get();
  PageStack stack;
  stack.layout = tiff::ReadLayout(file);
  char* text = nullptr;
  if (TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text))
    stack.description = tiff::ParseDescription(text);
  stack.resolution = tiff::ReadResolution(tif, stack.description);
  RefuseHyperstacks(stack.description, file.path());
  RefuseChannels(stack.layout, file.path());
  do {
    const PageLayout page = tiff::ReadLayout(file);
    if (page.reduced) continue;
    if (!page.SameGeometry(stack.layout))
      throw IOException("Slices of different size or type in '" + file.path() + "'");
    if (stack.pages.size() >= kMaxPages)
      throw IOException("Too many slices in '" + file.path() + "'");
    stack.pages.push_back(TIFFCurrentDirectory(tif));
  } while (TIFFReadDirectory(tif));
  if (file.HasErrors()) file.Fail("Broken directory chain in file");
  if (stack.pages.empty()) throw IOException("No image in '" + file.path() + "'");
  return stack;
}

bool Accepts(VoxelType type, const unsigned char*) {
  return type == kVoxelGray8;
}
bool Accepts(VoxelType type, const unsigned short*) {
  return type == kVoxelGray16;
}
bool Accepts(VoxelType type, const bool*) {
  return type == kVoxelBinary || type == kVoxelGray8 || type == kVoxelGray16;
}
bool Accepts(VoxelType type, const float*) {
  return type == kVoxelFloat32 || type == kVoxelGray8 || type == kVoxelGray16;
}
const char* ImageTypeName(const unsigned char*) {
  return "8-bit";
}
const char* ImageTypeName(const unsigned short*) {
  return "16-bit";
}
const char* ImageTypeName(const bool*) {
  return "binary";
}
const char* ImageTypeName(const float*) {
  return "float";
}

uint64_t FileSize(const TiffFile& file) {
  struct stat st {};
  if (stat(file.path().c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

// The most bytes a file of this size may decode to before its header counts as forged.
uint64_t DecodedByteLimit(const TiffFile& file) {
  return std::max(kAlwaysAllowedBytes, FileSize(file) * kMaxCompressionRatio);
}

void CheckDecodedSize(const TiffFile& file, const PageLayout& p, uint64_t pages) {
  // Counted as the image it becomes, at least a byte per voxel: 1-bit data expands eightfold.
  const uint64_t row_bytes =
      std::max<uint64_t>(p.width, (uint64_t(p.width) * p.bits * p.samples + 7) / 8);
  const uint64_t limit = DecodedByteLimit(file);
  if (p.width == 0 || p.height == 0) throw IOException("Empty image in '" + file.path() + "'");
  if (p.width > kMaxSide || p.height > kMaxSide)
    throw IOException("Image of " + std::to_string(p.width) + " x " + std::to_string(p.height) +
                      " pixels in '" + file.path() + "' is beyond the reader's limit of " +
                      std::to_string(kMaxSide) + " pixels on a side");
  if (row_bytes > limit / p.height || row_bytes * p.height > limit / pages)
    throw IOException("Image size in the header of '" + file.path() +
                      "' does not fit the file's size (corrupt or forged header)");
}

// Decodes the current directory into `buffer`, rows of `row_bytes` bytes.
void DecodePage(TiffFile& file, const PageLayout& p, std::vector<unsigned char>& buffer) {
  TIFF* tif = file.get();
  const size_t row_bytes = (size_t(p.width) * p.bits * p.samples + 7) / 8;
  const size_t total = row_bytes * p.height;
  buffer.resize(total);
  if (!p.tiled) {
    uint32_t rows_per_strip = p.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
    rows_per_strip = std::clamp<uint32_t>(rows_per_strip, 1, p.height);
    const uint32_t strips = (p.height + rows_per_strip - 1) / rows_per_strip;
    if (TIFFNumberOfStrips(tif) < strips) file.Fail("Missing strips in file");
    for (uint32_t s = 0; s < strips; ++s) {
      const size_t at = size_t(s) * rows_per_strip * row_bytes;
      const size_t want = std::min(size_t(rows_per_strip) * row_bytes, total - at);
      if (TIFFReadEncodedStrip(tif, s, buffer.data() + at, static_cast<tmsize_t>(want)) < 0 ||
          file.HasErrors())
        file.Fail("Cannot decode image data of file");
    }
    return;
  }
  if (p.bits < 8) throw IOException("Tiled 1-bit images are not supported: '" + file.path() + "'");
  uint32_t tw = 0, th = 0;
  TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
  TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
  const tmsize_t tile_bytes = TIFFTileSize(tif);
  const size_t pixel_bytes = size_t(p.bits / 8) * p.samples;
  if (tw == 0 || th == 0 || tile_bytes <= 0 || size_t(tile_bytes) < size_t(tw) * th * pixel_bytes)
    file.Fail("Bad tile layout in file");
  // A tile may overhang a small image, but not by more than any real file would.
  if (uint64_t(tile_bytes) > DecodedByteLimit(file))
    throw IOException("Tile size in the header of '" + file.path() +
                      "' does not fit the file's size (corrupt or forged header)");
  std::vector<unsigned char> tile(static_cast<size_t>(tile_bytes));
  for (uint32_t ty = 0; ty < p.height; ty += th)
    for (uint32_t tx = 0; tx < p.width; tx += tw) {
      if (TIFFReadEncodedTile(tif, TIFFComputeTile(tif, tx, ty, 0, 0), tile.data(), tile_bytes) <
              0 ||
          file.HasErrors())
        file.Fail("Cannot decode image data of file");
      const size_t w = std::min(tw, p.width - tx) * pixel_bytes;
      for (uint32_t r = 0; r < th && ty + r < p.height; ++r)
        std::memcpy(buffer.data() + (ty + r) * row_bytes + tx * pixel_bytes,
                    tile.data() + size_t(r) * tw * pixel_bytes, w);
    }
}

// Sample x of a decoded row as a number (grey samples; MinIsWhite inverted).
template <class T>
T Sample(const unsigned char* row, uint32_t x, const PageLayout& p) {
  const bool invert = p.photometric == PHOTOMETRIC_MINISWHITE;
  switch (p.bits) {
    case 1: {
      const bool bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
      return static_cast<T>(bit != invert);
    }
    case 8: {
      const unsigned char v = row[x];
      return static_cast<T>(invert ? 255 - v : v);
    }
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + 2 * size_t(x), 2);
      return static_cast<T>(invert ? 65535 - v : v);
    }
    default: {
      float v;
      std::memcpy(&v, row + 4 * size_t(x), 4);
      return static_cast<T>(v);
    }
  }
}

template <class T>
void CopyRows(const std::vector<unsigned char>& page, const PageLayout& p, const VOI<>& box,
              T* out) {
  const size_t row_bytes = (size_t(p.width) * p.bits + 7) / 8;
  for (uint64_t y = 0; y < box.size[1]; ++y) {
    const unsigned char* row = page.data() + (box.offset[1] + y) * row_bytes;
    T* dst = out + y * box.size[0];
    if constexpr (std::is_same_v<T, unsigned char> || std::is_same_v<T, unsigned short>) {
      if (p.photometric != PHOTOMETRIC_MINISWHITE) {
        std::memcpy(dst, row + box.offset[0] * sizeof(T), box.size[0] * sizeof(T));
        continue;
      }
    }
    for (uint64_t x = 0; x < box.size[0]; ++x)
      dst[x] = Sample<T>(row, static_cast<uint32_t>(box.offset[0] + x), p);
  }
}

}  // namespace

VoxelType ReadImageType(const char* file_name, int format) {
  tiff::RequireTiff(file_name, format);
  TiffFile file = TiffFile::OpenForReading(file_name);
  return tiff::ReadLayout(file).Type();
}

template <class T>
void Image3d<T>::ReadImage(const char* file_name, const VOI<>* region, bool keep_metadata, int page,
                           const Vector3d<float>* offset, const Resolution* resolution) {
  tiff::RequireTiff(file_name, kFormatAuto);
  TiffFile file = TiffFile::OpenForReading(file_name);
  PageStack stack = ScanPages(file);
  const PageLayout& p = stack.layout;
  const VoxelType type = p.Type();
  if (!Accepts(type, static_cast<const T*>(nullptr)))
    throw IOException(std::string("Cannot read ") + VoxelTypeToString(type) + " data of '" +
                      file_name + "' into a " + ImageTypeName(static_cast<const T*>(nullptr)) +
                      " image");
  if (page >= 0) {
    if (size_t(page) >= stack.pages.size())
      throw IOException("No slice " + std::to_string(page) + " in '" + file.path() + "'");
    stack.pages = {stack.pages[size_t(page)]};
  }
  const VOI<> whole(0, 0, 0, p.width, p.height, stack.pages.size());
  const VOI<> box = region ? *region : whole;
  for (int k = 0; k < 3; ++k)
    if (box.offset[k] > whole.size[k] || box.size[k] > whole.size[k] - box.offset[k])
      throw IOException("The region to read lies outside the image in '" + file.path() + "'");
  CheckDecodedSize(file, p, stack.pages.size());

  MakeRoom(box.size[0], box.size[1], box.size[2]);
  std::vector<unsigned char> buffer;
  for (uint64_t z = 0; z < box.size[2]; ++z) {
    if (!TIFFSetDirectory(file.get(), stack.pages[box.offset[2] + z]))
      file.Fail("Cannot read slice of file");
    DecodePage(file, p, buffer);
    CopyRows(buffer, p, box, begin() + Index(0, 0, z));
  }
  if (!keep_metadata) {
    resolution_ = stack.resolution;
    description_ = std::move(stack.description);
    offset_ = Vector3d<float>(0, 0, 0);
    for (int k = 0; k < 3; ++k)
      offset_[k] = static_cast<float>(box.offset[k]) * resolution_.Spacing(k);
  }
  if (offset) offset_ = *offset;
  if (resolution) resolution_ = *resolution;
}

template void Image3d<unsigned char>::ReadImage(const char*, const VOI<>*, bool, int,
                                                const Vector3d<float>*, const Resolution*);
template void Image3d<unsigned short>::ReadImage(const char*, const VOI<>*, bool, int,
                                                 const Vector3d<float>*, const Resolution*);
template void Image3d<bool>::ReadImage(const char*, const VOI<>*, bool, int, const Vector3d<float>*,
                                       const Resolution*);
template void Image3d<float>::ReadImage(const char*, const VOI<>*, bool, int,
                                        const Vector3d<float>*, const Resolution*);

}  // namespace voxa
