// PNG encoding: signature, IHDR (8-bit RGB), one IDAT holding a zlib stream of stored deflate
// blocks (at most 65535 bytes each) over the filtered rows (filter type 0 per row), IEND.
#include "png_writer.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "atomic_file.h"
#include "tool_error.h"

namespace trel::tool {

namespace {

constexpr uint32_t kCrcPolynomial = 0xedb88320u;
constexpr uint32_t kAdlerModulus = 65521u;
constexpr size_t kStoredBlockLimit = 65535;
constexpr uint8_t kBitDepth = 8;
constexpr uint8_t kColourTypeRgb = 2;
constexpr uint8_t kZlibMethod = 0x78;  // deflate, 32 KiB window
constexpr uint8_t kZlibFlags = 0x01;   // no dictionary, fastest; (0x78 * 256 + 1) % 31 == 0

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? kCrcPolynomial ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

void PutBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  PutBigEndian(out, Crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
}

std::string ZlibStored(const std::vector<uint8_t>& raw) {
  std::string z;
  z += static_cast<char>(kZlibMethod);
  z += static_cast<char>(kZlibFlags);
  size_t pos = 0;
  do {
    const size_t n = std::min(kStoredBlockLimit, raw.size() - pos);
    const bool last = pos + n == raw.size();
    z += static_cast<char>(last ? 1 : 0);  // BFINAL, BTYPE = 00 (stored)
    z += static_cast<char>(n & 0xff);
    z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 0xff);
    z += static_cast<char>((~n >> 8) & 0xff);
    z.append(reinterpret_cast<const char*>(raw.data() + pos), n);
    pos += n;
  } while (pos < raw.size());
  PutBigEndian(z, Adler32(raw.data(), raw.size()));
  return z;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  const auto& table = CrcTable();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size) {
  uint32_t a = 1, b = 0;
  for (size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % kAdlerModulus;
    b = (b + a) % kAdlerModulus;
  }
  return (b << 16) | a;
}

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
    raw.push_back(0);  // filter type None
    raw.insert(raw.end(), picture.rgb.begin() + static_cast<std::ptrdiff_t>(y * row),
               picture.rgb.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
  }
  PutChunk(png, "IDAT", ZlibStored(raw));
  PutChunk(png, "IEND", "");
  return png;
}

void WritePng(const std::filesystem::path& file, const RgbPicture& picture) {
  WriteFileAtomically(file, EncodePng(picture));
}

}  // namespace trel::tool
