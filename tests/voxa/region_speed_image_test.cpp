// The region speed image: its geometry, invariance to the scale and offset of the grey values
// (8-bit data read as 16-bit), monotony, the lift of dim objects, the flat and empty cases, and
// on real frames the contrast of the annotated nuclei over their background.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "voxa/filters.h"
#include "voxa/fls.h"
#include "voxa/image3d.h"
#include "voxa/voxel_type.h"

namespace {

using voxa::Image3d;

// Blobs of random brightness on a dark noisy background, 8-bit range.
Image3d<unsigned short> BlobImage(uint64_t nx, uint64_t ny, uint64_t nz, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> where(0, 1);
  std::normal_distribution<double> noise(0, 2);
  struct Blob {
    double x, y, z, r, v;
  };
  std::vector<Blob> blobs;
  for (int k = 0; k < 6; ++k)
    blobs.push_back({where(rng) * nx, where(rng) * ny, where(rng) * nz, 3 + 5 * where(rng),
                     10 + 200 * where(rng)});
  Image3d<unsigned short> image;
  image.MakeRoom(nx, ny, nz);
  for (uint64_t z = 0; z < nz; ++z)
    for (uint64_t y = 0; y < ny; ++y)
      for (uint64_t x = 0; x < nx; ++x) {
        double v = 12 + noise(rng);
        for (const Blob& b : blobs)
          if (std::hypot(x - b.x, y - b.y, nz > 1 ? z - b.z : 0.0) < b.r) v += b.v;
        image.SetVoxel(x, y, z, static_cast<unsigned short>(std::clamp(v, 0.0, 255.0)));
      }
  return image;
}

double Median(std::vector<float> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

TEST(RegionSpeedImage, TakesTheSizeAndGeometryOfTheInput) {
  Image3d<unsigned short> in = BlobImage(21, 13, 4, 1);
  in.SetResolution(voxa::Resolution({2.0f, 2.0f, 0.5f}));
  in.SetOffset({1.0f, 2.0f, 3.0f});
  in.SetDescription({{"channel", "GFP"}});
  Image3d<float> out;
  out.MakeRoom(3, 3, 3);
  voxa::fls::RegionSpeedImage(in, out);
  EXPECT_EQ(out.GetSize(), in.GetSize());
  EXPECT_EQ(out.GetResolution().GetRes(), in.GetResolution().GetRes());
  EXPECT_EQ(out.GetOffset(), in.GetOffset());
  EXPECT_EQ(out.GetDescription(), in.GetDescription());
}

TEST(RegionSpeedImage, Is8BitDataReadAs16BitGivesTheSameSpeed) {
  for (const uint64_t nz : {1u, 5u}) {
    const Image3d<unsigned short> bytes = BlobImage(40, 30, nz, 2);
    Image3d<unsigned short> words = bytes;
    for (unsigned short& v : words) v = static_cast<unsigned short>(256 * v + 200);
    Image3d<float> a, b;
    voxa::fls::RegionSpeedImage(bytes, a);
    voxa::fls::RegionSpeedImage(words, b);
    for (uint64_t i = 0; i < a.GetImageSize(); ++i)
      ASSERT_NEAR(a.GetVoxel(i), b.GetVoxel(i), 1e-4) << "voxel " << i;
  }
}

TEST(RegionSpeedImage, BrighterInputGivesFasterSpeedAndTheRangeIsAboutZeroToOne) {
  // A ramp within one block of the background flattening, which takes nothing out of it.
  constexpr uint64_t kWidth = 32;
  Image3d<unsigned short> ramp;
  ramp.MakeRoom(kWidth, 3, 1);
  for (uint64_t y = 0; y < 3; ++y)
    for (uint64_t x = 0; x < kWidth; ++x)
      ramp.SetVoxel(x, y, 0, static_cast<unsigned short>(70 * x));
  Image3d<float> speed;
  voxa::fls::RegionSpeedImage(ramp, speed);
  for (uint64_t x = 1; x < kWidth; ++x)
    ASSERT_GE(speed.GetVoxel(x, 1, 0), speed.GetVoxel(x - 1, 1, 0));
  // The smoothing pulls the ends of so short a ramp in by about one step (a thirtieth of it).
  EXPECT_NEAR(speed.GetVoxel(0, 1, 0), 0.0f, 0.1);
  EXPECT_NEAR(speed.GetVoxel(kWidth - 1, 1, 0), 1.0f, 0.1);
  EXPECT_GT(*std::min_element(speed.begin(), speed.end()), -1e-6f);
}

// A background that rises across the frame by twice the nuclei's contrast is taken out: two like
// nuclei at its two ends get like speeds, and the background beside the brighter one stays
// below the dimmer one.
TEST(RegionSpeedImage, AnUnevenBackgroundIsTakenOut) {
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0, 5);
  Image3d<unsigned short> in;
  in.MakeRoom(256, 64, 1);
  for (uint64_t y = 0; y < 64; ++y)
    for (uint64_t x = 0; x < 256; ++x) {
      double v = 1000 + 400.0 * double(x) / 255 + noise(rng);
      if (std::hypot(x - 30.0, y - 32.0) < 8 || std::hypot(x - 226.0, y - 32.0) < 8) v += 200;
      in.SetVoxel(x, y, 0, static_cast<unsigned short>(v));
    }
  Image3d<float> speed;
  voxa::fls::RegionSpeedImage(in, speed);
  const float left = speed.GetVoxel(30, 32, 0), right = speed.GetVoxel(226, 32, 0);
  EXPECT_NEAR(left, right, 0.1f * right);
  EXPECT_LT(speed.GetVoxel(200, 5, 0), 0.5f * left);
}

// A band of light along the top edge (four noise deviations, fading over twelve rows), far
// narrower than the blocks, is taken out as the rows' offsets; a nucleus in it keeps its contrast.
TEST(RegionSpeedImage, ABandAlongAnEdgeIsTakenOut) {
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 5);
  Image3d<unsigned short> in;
  in.MakeRoom(256, 96, 1);
  for (uint64_t y = 0; y < 96; ++y)
    for (uint64_t x = 0; x < 256; ++x) {
      double v = 1000 + std::max(0.0, 20.0 * (1 - double(y) / 12)) + noise(rng);
      if (std::hypot(x - 60.0, y - 6.0) < 6 || std::hypot(x - 180.0, y - 60.0) < 6) v += 40;
      in.SetVoxel(x, y, 0, static_cast<unsigned short>(v));
    }
  Image3d<float> speed;
  voxa::fls::RegionSpeedImage(in, speed);
  double band = 0, below = 0;
  for (uint64_t x = 100; x < 140; ++x) {
    band += speed.GetVoxel(x, 1, 0) / 40;
    below += speed.GetVoxel(x, 80, 0) / 40;
  }
  const float nucleus = speed.GetVoxel(180, 60, 0) - float(below);
  EXPECT_LT(band - below, 0.25 * nucleus);
  EXPECT_NEAR(speed.GetVoxel(60, 6, 0) - float(band), nucleus, 0.25f * nucleus);
}

TEST(RegionSpeedImage, LiftsADimObjectBesideABrightOne) {
  // Background 100, a bright square at +4000 and a dim one at +120 (3 % of the range).
  Image3d<unsigned short> in;
  in.MakeRoom(80, 40, 1);
  for (uint64_t y = 0; y < 40; ++y)
    for (uint64_t x = 0; x < 80; ++x) {
      const bool bright = x >= 10 && x < 30 && y >= 10 && y < 30;
      const bool dim = x >= 50 && x < 70 && y >= 10 && y < 30;
      in.SetVoxel(x, y, 0,
                  static_cast<unsigned short>(100 + (bright ? 4000 : 0) + (dim ? 120 : 0)));
    }
  Image3d<float> speed;
  voxa::fls::RegionSpeedImage(in, speed);
  const float background = speed.GetVoxel(40, 35, 0), bright = speed.GetVoxel(20, 20, 0),
              dim = speed.GetVoxel(60, 20, 0);
  // A linear normalisation would give the dim square 3 % of the bright one's contrast.
  EXPECT_GT(dim - background, 0.12f * (bright - background));
}

TEST(RegionSpeedImage, EdgeCases) {
  Image3d<float> speed;
  Image3d<unsigned short> empty;
  voxa::fls::RegionSpeedImage(empty, speed);
  EXPECT_TRUE(speed.IsEmpty());
  const Image3d<unsigned short> flat = trel::testing::Draw<unsigned short>({"777", "777"});
  voxa::fls::RegionSpeedImage(flat, speed);
  for (const float v : speed) EXPECT_EQ(v, 0.0f);
  const Image3d<unsigned short> one = trel::testing::Draw<unsigned short>({"9"});
  voxa::fls::RegionSpeedImage(one, speed);
  EXPECT_EQ(speed.GetVoxel(0), 0.0f);
}

// On real frames the annotated nuclei, dim ones included, stand clear of the background.
void CheckAnnotatedContrast(const std::string& sequence, const std::string& frame,
                            const std::string& annotation, double min_contrast) {
  const std::string folder = trel::testing::SharedData(sequence);
  if (folder.empty()) GTEST_SKIP() << "shared data absent";
  const std::string frame_name = folder + "/01/" + frame,
                    truth_name = folder + "/01_GT/SEG/" + annotation;
  Image3d<unsigned short> image = trel::testing::ReadGreyFrame(frame_name);
  Image3d<unsigned short> truth;
  truth.ReadImage(truth_name.c_str());
  voxa::GrayGaussIIR(image, 1.0);
  Image3d<float> speed;
  voxa::fls::RegionSpeedImage(image, speed);
  std::vector<std::vector<float>> objects(65536);
  for (uint64_t i = 0; i < speed.GetImageSize(); ++i)
    objects[truth.GetVoxel(i)].push_back(speed.GetVoxel(i));
  const double background = Median(objects[0]);
  EXPECT_LT(background, 0.3);
  for (size_t l = 1; l < objects.size(); ++l)
    if (!objects[l].empty()) {
      EXPECT_GT(Median(objects[l]) - background, min_contrast) << "object " << l;
    }
}

TEST(RegionSpeedImage, DimNucleiOfAnEightBitSequenceStandOut) {
  // Its two annotated nuclei are about three grey values above a background of two, which a
  // linear normalisation of its range (about 120) would put 0.025 above it.
  CheckAnnotatedContrast("Fluo-N2DH-GOWT1", "t002.tif", "man_seg002.tif", 0.1);
}

TEST(RegionSpeedImage, NucleiOfASixteenBitSequenceStandOut) {
  CheckAnnotatedContrast("Fluo-N2DH-SIM+", "t000.tif", "man_seg000.tif", 0.3);
}

}  // namespace
