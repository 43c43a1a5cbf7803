// Writes 8-bit RGB pictures as PNG files: the rows, each with PNG's "Up" filter, deflated by
// zlib, in chunks whose CRC-32 zlib computes too.
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

}  // namespace trel::tool
