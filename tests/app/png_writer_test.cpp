// The PNG writer: checksums against published values, and the file decoded back by a small
// reader of stored deflate blocks written here.
#include "png_writer.h"

#include <gtest/gtest.h>

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
  std::vector<Chunk> chunks;
  size_t at = 8;
  while (at < png.size()) {
    const uint32_t length = BigEndian(png, at);
    Chunk c{png.substr(at + 4, 4), png.substr(at + 8, length)};
    const std::string body = png.substr(at + 4, 4 + length);
    EXPECT_EQ(BigEndian(png, at + 8 + length),
              Crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()))
        << c.type;
    chunks.push_back(c);
    at += 12 + length;
  }
  return chunks;
}

// Inflates a zlib stream made of stored blocks only.
std::string InflateStored(const std::string& z) {
  EXPECT_EQ((static_cast<uint8_t>(z[0]) * 256 + static_cast<uint8_t>(z[1])) % 31, 0);
  std::string out;
  size_t at = 2;
  bool last = false;
  while (!last) {
    const auto header = static_cast<uint8_t>(z[at]);
    last = header & 1;
    EXPECT_EQ(header >> 1, 0);  // stored
    const uint32_t n = static_cast<uint8_t>(z[at + 1]) | (static_cast<uint8_t>(z[at + 2]) << 8);
    const uint32_t nn = static_cast<uint8_t>(z[at + 3]) | (static_cast<uint8_t>(z[at + 4]) << 8);
    EXPECT_EQ(n ^ 0xffffu, nn);
    out += z.substr(at + 5, n);
    at += 5 + n;
  }
  EXPECT_EQ(BigEndian(z, at), Adler32(reinterpret_cast<const uint8_t*>(out.data()), out.size()));
  EXPECT_EQ(at + 4, z.size());
  return out;
}

TEST(PngWriterTest, ChecksumsMatchPublishedValues) {
  const char* digits = "123456789";
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(digits), 9), 0xcbf43926u);
  const char* word = "Wikipedia";
  EXPECT_EQ(Adler32(reinterpret_cast<const uint8_t*>(word), 9), 0x11e60398u);
  EXPECT_EQ(Adler32(nullptr, 0), 1u);
  // Known CRC of the IEND chunk, present in every PNG file.
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>("IEND"), 4), 0xae426082u);
}

TEST(PngWriterTest, SmallPictureDecodesBack) {
  RgbPicture p{2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7}};
  const std::string png = EncodePng(p);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  const std::vector<Chunk> chunks = Chunks(png);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(BigEndian(chunks[0].data, 0), 2u);
  EXPECT_EQ(BigEndian(chunks[0].data, 4), 2u);
  EXPECT_EQ(chunks[0].data.substr(8), std::string("\x08\x02\x00\x00\x00", 5));
  EXPECT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(InflateStored(chunks[1].data),
            std::string("\0\xff\0\0\0\xff\0\0\0\0\xff\x09\x08\x07", 14));
  EXPECT_EQ(chunks[2].type, "IEND");
}

TEST(PngWriterTest, LargePictureSpansSeveralStoredBlocks) {
  RgbPicture p{300, 200, std::vector<uint8_t>(300 * 200 * 3)};
  for (size_t k = 0; k < p.rgb.size(); ++k) p.rgb[k] = static_cast<uint8_t>(k * 7);
  const std::string raw = InflateStored(Chunks(EncodePng(p))[1].data);
  ASSERT_EQ(raw.size(), 200u * (1 + 900));
  for (uint32_t y = 0; y < 200; ++y) {
    EXPECT_EQ(raw[y * 901], 0);
    ASSERT_EQ(std::memcmp(raw.data() + y * 901 + 1, p.rgb.data() + y * 900, 900), 0) << y;
  }
}

}  // namespace
}  // namespace trel::tool
