// The PNG writer: the file's chunks and checksums, and the pixels decoded back through zlib and
// PNG's "Up" filter, for a tiny picture and a large noisy one; flat overlays compress well.
#include "png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

namespace trel::tool {
namespace {

uint32_t BigEndian(const std::string& s, size_t at) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3]));
}

struct Chunk {
  std::string type, data;
};

std::vector<Chunk> Chunks(const std::string& png) {
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  std::vector<Chunk> chunks;
  size_t at = 8;
  while (at < png.size()) {
    const uint32_t length = BigEndian(png, at);
    Chunk c{png.substr(at + 4, 4), png.substr(at + 8, length)};
    const std::string body = png.substr(at + 4, 4 + length);
    EXPECT_EQ(BigEndian(png, at + 8 + length),
              crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size())))
        << c.type;
    chunks.push_back(c);
    at += 12 + length;
  }
  return chunks;
}

// The picture's bytes from the IDAT stream, the "Up" filter undone.
std::vector<uint8_t> Decode(const std::string& idat, uint32_t width, uint32_t height) {
  const size_t row = size_t(width) * 3;
  std::vector<uint8_t> raw((row + 1) * height);
  uLongf size = raw.size();
  EXPECT_EQ(uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), idat.size()),
            Z_OK);
  EXPECT_EQ(size, raw.size());
  std::vector<uint8_t> rgb;
  for (uint32_t y = 0; y < height; ++y) {
    EXPECT_EQ(raw[y * (row + 1)], 2) << "filter of row " << y;
    for (size_t k = 0; k < row; ++k)
      rgb.push_back(uint8_t(raw[y * (row + 1) + 1 + k] + (y > 0 ? rgb[rgb.size() - row] : 0)));
  }
  return rgb;
}

TEST(PngWriterTest, SmallPictureDecodesBack) {
  const RgbPicture p{2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7}};
  const std::vector<Chunk> chunks = Chunks(EncodePng(p));
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(BigEndian(chunks[0].data, 0), 2u);
  EXPECT_EQ(BigEndian(chunks[0].data, 4), 2u);
  EXPECT_EQ(chunks[0].data.substr(8), std::string("\x08\x02\x00\x00\x00", 5));
  EXPECT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(Decode(chunks[1].data, 2, 2), p.rgb);
  EXPECT_EQ(chunks[2].type, "IEND");
  EXPECT_TRUE(chunks[2].data.empty());
}

TEST(PngWriterTest, LargePicturesDecodeBackAndFlatOnesCompress) {
  RgbPicture noisy{300, 200, std::vector<uint8_t>(300 * 200 * 3)};
  for (size_t k = 0; k < noisy.rgb.size(); ++k) noisy.rgb[k] = static_cast<uint8_t>(k * 7919 >> 3);
  EXPECT_EQ(Decode(Chunks(EncodePng(noisy))[1].data, 300, 200), noisy.rgb);
  RgbPicture flat{1000, 1000, std::vector<uint8_t>(1000 * 1000 * 3, 40)};
  EXPECT_LT(EncodePng(flat).size(), flat.rgb.size() / 100);
}

}  // namespace
}  // namespace trel::tool
