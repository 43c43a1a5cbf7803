// PNG encoding: signature, IHDR (8-bit RGB), one IDAT holding the zlib stream of the filtered
// rows, IEND. Overlays are mostly flat colour, which the "Up" filter turns into runs of zeros.
#include "png_writer.h"

#include <zlib.h>

#include "atomic_file.h"
#include "tool_error.h"

namespace trel::tool {

namespace {

constexpr uint8_t kBitDepth = 8;
constexpr uint8_t kColourTypeRgb = 2;
constexpr uint8_t kFilterUp = 2;  // each byte less the byte above it

void PutBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  PutBigEndian(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                static_cast<uInt>(body.size()))));
}

std::string Deflate(const std::vector<uint8_t>& raw) {
  uLongf size = compressBound(raw.size());
  std::string z(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(z.data()), &size, raw.data(), raw.size(),
                Z_DEFAULT_COMPRESSION) != Z_OK)
    throw ToolError(kExitIoError, "the picture could not be compressed (out of memory)");
  z.resize(size);
  return z;
}

}  // namespace

std::string EncodePng(const RgbPicture& picture) {
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  PutBigEndian(header, picture.width);
  PutBigEndian(header, picture.height);
  header += static_cast<char>(kBitDepth);
  header += static_cast<char>(kColourTypeRgb);
  header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace
  PutChunk(png, "IHDR", header);

  const size_t row = static_cast<size_t>(picture.width) * 3;
  std::vector<uint8_t> raw;
  raw.reserve((row + 1) * picture.height);
  for (uint32_t y = 0; y < picture.height; ++y) {
    raw.push_back(kFilterUp);
    const uint8_t* line = picture.rgb.data() + y * row;
    for (size_t k = 0; k < row; ++k)
      raw.push_back(static_cast<uint8_t>(line[k] - (y > 0 ? line[k - row] : 0)));
  }
  PutChunk(png, "IDAT", Deflate(raw));
  PutChunk(png, "IEND", "");
  return png;
}

void WritePng(const std::filesystem::path& file, const RgbPicture& picture) {
  WriteFileAtomically(file, EncodePng(picture));
}

}  // namespace trel::tool
