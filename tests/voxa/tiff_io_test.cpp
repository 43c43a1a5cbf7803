// TIFF input and output: round trips of every voxel type in 2D and 3D, voxel sizes, files written
// by other writers (compressions, byte orders, tiles), the names of refused voxel types, and
// broken or forged files, which must raise IOException and nothing worse.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <random>

#include "support/test_support.h"
#include "voxa/exceptions.h"
#include "voxa/image3d.h"
#include "voxa/temporary_file.h"
#include "voxa/voxel_type.h"

namespace {

using trel::testing::ScratchDir;
using voxa::Image3d;

template <class T>
Image3d<T> RandomImage(uint64_t x, uint64_t y, uint64_t z, unsigned seed) {
  std::mt19937 rng(seed);
  Image3d<T> image;
  image.MakeRoom(x, y, z);
  for (T& v : image) {
    if constexpr (std::is_same_v<T, bool>)
      v = rng() & 1;
    else if constexpr (std::is_same_v<T, float>)
      v = std::uniform_real_distribution<float>(-10, 10)(rng);
    else
      v = static_cast<T>(rng());
  }
  return image;
}

template <class T>
void ExpectSameVoxels(const Image3d<T>& a, const Image3d<T>& b) {
  ASSERT_EQ(a.GetSize(), b.GetSize());
  EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin()));
}

template <class T>
class RoundTrip : public ::testing::Test {};
using VoxelTypes = ::testing::Types<unsigned char, unsigned short, bool, float>;
TYPED_TEST_SUITE(RoundTrip, VoxelTypes);

TYPED_TEST(RoundTrip, KeepsVoxelsIn2DAnd3DCompressedOrNot) {
  ScratchDir dir;
  for (const bool compress : {false, true})
    for (const uint64_t depth : {1, 7}) {
      const Image3d<TypeParam> image = RandomImage<TypeParam>(37, 23, depth, 5);
      const std::string name = dir / "image.tif";
      image.SaveImage(name.c_str(), 0, compress);
      Image3d<TypeParam> back;
      back.ReadImage(name.c_str());
      ExpectSameVoxels(image, back);
    }
}

TEST(TiffIo, VoxelSizeAndDescriptionSurvive) {
  ScratchDir dir;
  Image3d<unsigned short> image = RandomImage<unsigned short>(8, 6, 4, 1);
  image.SetResolution(voxa::Resolution({3.0769f, 3.0769f, 0.5f}));  // 0.325 x 0.325 x 2 um
  image.SetDescription({{"objective", "63x"}});
  const std::string name = dir / "stack.tif";
  image.SaveImage(name.c_str(), 0, true);
  Image3d<unsigned short> back;
  back.ReadImage(name.c_str());
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(back.GetResolution().GetRes()[k], image.GetResolution().GetRes()[k], 1e-4);
  EXPECT_EQ(back.GetDescription().at("objective"), "63x");
  EXPECT_EQ(back.GetDescription().at("spacing"), "2");
  EXPECT_EQ(back.GetDescription().at("slices"), "4");
}

TEST(TiffIo, ReadsRegionsAndSingleSlices) {
  ScratchDir dir;
  const Image3d<unsigned char> image = RandomImage<unsigned char>(10, 9, 5, 2);
  const std::string name = dir / "stack.tif";
  image.SaveImage(name.c_str());
  const voxa::VOI<> box(2, 3, 1, 4, 5, 3);
  Image3d<unsigned char> part;
  part.ReadImage(name.c_str(), &box);
  ExpectSameVoxels(part, Image3d<unsigned char>(image, &box));
  Image3d<unsigned char> slice, expected;
  slice.ReadImage(name.c_str(), nullptr, false, 3);
  image.GetSliceZ(expected, 3);
  ExpectSameVoxels(slice, expected);
  const voxa::VOI<> outside(8, 0, 0, 3, 1, 1);
  EXPECT_THROW(part.ReadImage(name.c_str(), &outside), voxa::IOException);
}

// Writes a 16-bit file with libtiff directly, as other programs would.
void WriteWithLibtiff(const std::string& name, uint16_t compression, bool tiled, const char* mode,
                      const std::vector<uint16_t>& pixels, uint32_t w, uint32_t h) {
  TIFF* tif = TIFFOpen(name.c_str(), mode);
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  if (compression != COMPRESSION_NONE) TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  if (tiled) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    std::vector<uint16_t> tile(16 * 16);
    for (uint32_t ty = 0; ty < h; ty += 16)
      for (uint32_t tx = 0; tx < w; tx += 16) {
        for (uint32_t r = 0; r < 16; ++r)
          for (uint32_t c = 0; c < 16; ++c)
            tile[r * 16 + c] = (ty + r < h && tx + c < w) ? pixels[(ty + r) * w + tx + c] : 0;
        TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0);
      }
  } else {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3);
    std::vector<uint16_t> row(w);  // the encoder may difference the row in place
    for (uint32_t y = 0; y < h; ++y) {
      std::copy(pixels.begin() + y * w, pixels.begin() + (y + 1) * w, row.begin());
      TIFFWriteScanline(tif, row.data(), y, 0);
    }
  }
  TIFFClose(tif);
}

TEST(TiffIo, RefusesHyperstacksWithTheCountNamed) {
  ScratchDir dir;
  const std::string name = dir / "two_channels.tif";
  const std::vector<uint16_t> pixels(8 * 4, 7);
  for (int page = 0; page < 2; ++page)
    WriteWithLibtiff(name, COMPRESSION_NONE, false, page == 0 ? "w" : "a", pixels, 8, 4);
  TIFF* tif = TIFFOpen(name.c_str(), "r+");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "ImageJ=1.53t\nimages=2\nchannels=2\n");
  TIFFRewriteDirectory(tif);
  TIFFClose(tif);
  Image3d<unsigned short> image;
  try {
    image.ReadImage(name.c_str());
    FAIL() << "two channels read as slices";
  } catch (const voxa::IOException& e) {
    EXPECT_NE(std::string(e.what()).find("holds 2 channels"), std::string::npos) << e.what();
  }
}

TEST(TiffIo, RefusesSeveralSamplesPerPixelWithTheCountNamed) {
  ScratchDir dir;
  const std::string name = dir / "rgb.tif";
  TIFF* tif = TIFFOpen(name.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  std::vector<unsigned char> row(4 * 3, 9);
  for (uint32_t y = 0; y < 2; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
  TIFFClose(tif);
  Image3d<unsigned char> image;
  try {
    image.ReadImage(name.c_str());
    FAIL() << "three channels read";
  } catch (const voxa::IOException& e) {
    EXPECT_NE(std::string(e.what()).find("holds 3 channels"), std::string::npos) << e.what();
  }
}

TEST(TiffIo, TemporaryFilesAreKnownByNameAndGoUnlessCommitted) {
  ScratchDir dir;
  const std::string name = dir / "res_track.txt";
  std::string temporary_name;
  {
    voxa::TemporaryFile temporary(name);
    temporary_name = temporary.path();
    temporary.Write("half");
  }
  EXPECT_FALSE(std::filesystem::exists(temporary_name));
  EXPECT_FALSE(std::filesystem::exists(name));
  const std::string base = std::filesystem::path(temporary_name).filename();
  EXPECT_TRUE(voxa::IsTemporaryFileName(base)) << base;
  for (const char* other : {"res_track.txt", ".res_track.txt.part", ".mask001.tif.12.3.part",
                            ".mask001.tif.12.x.0badf00d.part", "mask001.tif.12.3.0badf00d.part"})
    EXPECT_FALSE(voxa::IsTemporaryFileName(other)) << other;
  voxa::WriteFileAtomically(name, "1 0 4 0\n");
  EXPECT_EQ(std::filesystem::file_size(name), 8u);
}

TEST(TiffIo, ReadsFilesOfOtherWriters) {
  ScratchDir dir;
  const uint32_t w = 40, h = 21;
  std::vector<uint16_t> pixels(w * h);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint16_t>(i * 97);
  struct Case {
    const char* label;
    uint16_t compression;
    bool tiled;
    const char* mode;
  } cases[] = {{"none", COMPRESSION_NONE, false, "w"},
               {"lzw", COMPRESSION_LZW, false, "w"},
               {"deflate", COMPRESSION_ADOBE_DEFLATE, false, "w"},
               {"zstd", COMPRESSION_ZSTD, false, "w"},
               {"bigendian", COMPRESSION_LZW, false, "wb"},
               {"bigtiff", COMPRESSION_NONE, false, "w8"},
               {"tiled", COMPRESSION_LZW, true, "w"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    if (!TIFFIsCODECConfigured(c.compression)) continue;
    const std::string name = dir / (std::string(c.label) + ".tif");
    WriteWithLibtiff(name, c.compression, c.tiled, c.mode, pixels, w, h);
    EXPECT_EQ(voxa::ReadImageType(name.c_str(), 0), voxa::kVoxelGray16);
    Image3d<unsigned short> image;
    image.ReadImage(name.c_str());
    ASSERT_EQ(image.GetSize(), voxa::Vector3d<uint64_t>(w, h, 1));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), pixels.begin()));
  }
}

TEST(TiffIo, NamesEveryVoxelTypeOfTheCorpus) {
  const std::string corpus = TREL_TEST_CORPUS;
  auto type_of = [&](const char* file) {
    return voxa::ReadImageType((corpus + "/" + file).c_str(), 0);
  };
  EXPECT_EQ(type_of("valid_gray8.tif"), voxa::kVoxelGray8);
  EXPECT_EQ(type_of("valid_gray16.tif"), voxa::kVoxelGray16);
  EXPECT_EQ(type_of("valid_float32.tif"), voxa::kVoxelFloat32);
  EXPECT_EQ(type_of("valid_bilevel.tif"), voxa::kVoxelBinary);
  EXPECT_EQ(type_of("rgb8.tif"), voxa::kVoxelRGB8);
  EXPECT_STREQ(voxa::VoxelTypeToString(voxa::kVoxelFloat32), "32-bit float grey");
  EXPECT_STREQ(voxa::VoxelTypeToString(voxa::kVoxelRGB8), "8-bit RGB");
  EXPECT_STREQ(voxa::VoxelTypeToString(voxa::kVoxelBinary), "1-bit binary");
}

TEST(TiffIo, DecodesSmallValidFilesExactly) {
  const std::string corpus = TREL_TEST_CORPUS;
  Image3d<unsigned short> big_endian;
  big_endian.ReadImage((corpus + "/valid_gray16_bigendian.tif").c_str());
  for (uint64_t i = 0; i < 16; ++i) EXPECT_EQ(big_endian.GetVoxel(i), 1000 * i);
  Image3d<unsigned char> stack;
  stack.ReadImage((corpus + "/valid_stack3.tif").c_str());
  EXPECT_EQ(stack.GetSize(), voxa::Vector3d<uint64_t>(4, 4, 3));
  EXPECT_EQ(stack.GetVoxel(3, 3, 2), 15);
  Image3d<bool> bilevel;
  bilevel.ReadImage((corpus + "/valid_bilevel.tif").c_str());
  EXPECT_EQ(trel::testing::Picture(bilevel), (std::vector<std::string>{"1.1.1.1.", "1111...."}));
  Image3d<float> real;
  real.ReadImage((corpus + "/valid_float32.tif").c_str());
  EXPECT_FLOAT_EQ(real.GetVoxel(3), 3.5f);
}

TEST(TiffIo, RefusesVoxelTypesThatDoNotMatchTheImage) {
  const std::string corpus = TREL_TEST_CORPUS;
  Image3d<unsigned short> wide;
  try {
    wide.ReadImage((corpus + "/valid_float32.tif").c_str());
    FAIL() << "a float file was read into a 16-bit image";
  } catch (const voxa::IOException& e) {
    EXPECT_NE(std::string(e.what()).find("32-bit float grey"), std::string::npos) << e.what();
  }
}

TEST(TiffIo, BrokenFilesRaiseIOException) {
  const char* broken[] = {
      "empty.tif",       "header_only.tif",      "truncated_pixels.tif",    "garbage.tif",
      "wrong_magic.tif", "forged_size.tif",      "forged_size_stack.tif",   "strip_past_end.tif",
      "zero_width.tif",  "ifd_loop.tif",         "ifd_offset_past_end.tif", "mixed_pages.tif",
      "bits12.tif",      "tile_forged_size.tif", "forged_size_bilevel.tif"};
  for (const char* file : broken) {
    SCOPED_TRACE(file);
    const std::string name = std::string(TREL_TEST_CORPUS) + "/" + file;
    Image3d<unsigned short> image;
    try {
      image.ReadImage(name.c_str());
      ADD_FAILURE() << "read without error";
    } catch (const voxa::IOException& e) {
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos)
          << "the message names the file: " << e.what();
    }
  }
}

namespace {

// The message of the IOException that reading a corpus file raises; a failure when it reads.
std::string CorpusReadError(const char* file) {
  const std::string name = std::string(TREL_TEST_CORPUS) + "/" + file;
  Image3d<bool> image;
  try {
    image.ReadImage(name.c_str());
  } catch (const voxa::IOException& e) {
    return e.what();
  }
  ADD_FAILURE() << file << " read without error";
  return "";
}

}  // namespace

// Headers that claim more than the file could decode to are refused before anything is allocated
// for the pixels, whether the excess is in the image, the stack, a tile or 1-bit data's expansion.
TEST(TiffIo, ForgedSizesAreRefusedBeforeDecoding) {
  for (const char* file : {"forged_size.tif", "forged_size_stack.tif", "tile_forged_size.tif",
                           "forged_size_bilevel.tif"})
    EXPECT_NE(CorpusReadError(file).find("does not fit the file's size"), std::string::npos)
        << file;
}

// A file whose every row makes libtiff complain gets a message of the first complaints, not of
// a million (collecting them all took seconds and a message of megabytes).
TEST(TiffIo, AFloodOfDecoderErrorsGivesAShortMessage) {
  const std::string message = CorpusReadError("errors_on_every_row.tif");
  EXPECT_LT(message.size(), 2000u) << message;
  EXPECT_NE(message.find("errors_on_every_row.tif"), std::string::npos);
}

TEST(TiffIo, ImagesBeyondAMillionPixelsOnASideAreRefused) {
  const std::string message = CorpusReadError("rows_beyond_limit.tif");
  EXPECT_NE(message.find("1 x 60000000 pixels"), std::string::npos) << message;
}

// Whatever the corpus holds (the fuzzer's seeds included), reading ends in an image or an
// IOException, for every image type.
TEST(TiffIo, EveryCorpusFileReadsOrRaisesIOException) {
  for (const auto& entry : std::filesystem::directory_iterator(TREL_TEST_CORPUS)) {
    SCOPED_TRACE(entry.path().string());
    const std::string name = entry.path().string();
    auto read = [&](auto image) {
      try {
        image.ReadImage(name.c_str());
      } catch (const voxa::IOException&) {
      }
    };
    read(Image3d<unsigned char>());
    read(Image3d<unsigned short>());
    read(Image3d<bool>());
    read(Image3d<float>());
  }
}

TEST(TiffIo, MissingFilesAndFoldersRaiseIOException) {
  ScratchDir dir;
  EXPECT_THROW(voxa::ReadImageType((dir / "none.tif").c_str(), 0), voxa::IOException);
  EXPECT_THROW(voxa::ReadImageType((dir / "image.png").c_str(), 0), voxa::IOException);
  const Image3d<unsigned char> image = RandomImage<unsigned char>(4, 4, 1, 3);
  EXPECT_THROW(image.SaveImage((dir / "no/such/folder/a.tif").c_str()), voxa::IOException);
  EXPECT_THROW(Image3d<unsigned char>().SaveImage((dir / "empty.tif").c_str()), voxa::IOException);
}

TEST(TiffIo, SavingLeavesNoTemporaryFilesAndReplacesOldFiles) {
  ScratchDir dir;
  const std::string name = dir / "frame.tif";
  RandomImage<unsigned short>(5, 5, 1, 1).SaveImage(name.c_str());
  const Image3d<unsigned short> second = RandomImage<unsigned short>(9, 3, 2, 2);
  second.SaveImage(name.c_str());
  Image3d<unsigned short> back;
  back.ReadImage(name.c_str());
  ExpectSameVoxels(second, back);
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

// A write that fails half-way (here: the file size limit, as on a full disk) must leave the
// earlier file under the name untouched and no temporary file behind.
TEST(TiffIo, FailedSaveKeepsTheEarlierFile) {
  ScratchDir dir;
  const std::string name = dir / "frame.tif";
  const Image3d<unsigned short> first = RandomImage<unsigned short>(5, 5, 1, 1);
  first.SaveImage(name.c_str(), 0, false);
  signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(RandomImage<unsigned short>(200, 200, 1, 2).SaveImage(name.c_str(), 0, false),
               voxa::IOException);
  setrlimit(RLIMIT_FSIZE, &old);
  Image3d<unsigned short> back;
  back.ReadImage(name.c_str());
  ExpectSameVoxels(first, back);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

}  // namespace
