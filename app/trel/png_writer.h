// Writes 8-bit RGB pictures as PNG files without a compression library: the image data go into
// zlib "stored" (uncompressed) deflate blocks, which every PNG reader accepts, with the CRC-32
// of each chunk and the Adler-32 of the zlib stream computed here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace trel::tool {

struct RgbPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3 bytes, row by row
};

// The whole PNG file as bytes.
std::string EncodePng(const RgbPicture& picture);

// Throws ToolError(kExitCannotCreate) when the file cannot be written.
void WritePng(const std::filesystem::path& file, const RgbPicture& picture);

// CRC-32 (ISO 3309, as PNG uses it) and Adler-32 (RFC 1950), exposed for their tests.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size);

}  // namespace trel::tool
