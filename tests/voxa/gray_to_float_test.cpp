// GrayToFloatNormalized: the robust range maps increasingly onto 0..1 whatever the bit depth;
// outliers clamp. The ramps lie within one block of the background flattening, which therefore
// takes nothing out of them (a ramp across a wide frame is an uneven background).
#include "voxa/gray_to_float.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using voxa::Image3d;

constexpr uint64_t kWidth = 32;

Image3d<unsigned short> Ramp(unsigned short scale) {
  Image3d<unsigned short> image;
  image.MakeRoom(kWidth, 20, 2);
  for (uint64_t i = 0; i < image.GetImageSize(); ++i)
    image.SetVoxel(i, static_cast<unsigned short>((i % kWidth) * scale));
  return image;
}

TEST(GrayToFloatNormalized, MapsTheRobustRangeToZeroOne) {
  const Image3d<unsigned short> image = Ramp(1);
  Image3d<float> out;
  voxa::GrayToFloatNormalized(image, out);
  ASSERT_EQ(out.GetSize(), image.GetSize());
  EXPECT_FLOAT_EQ(out.GetVoxel(0), 0.0f);
  EXPECT_FLOAT_EQ(out.GetVoxel(kWidth - 1), 1.0f);
  // Increasing, and lifted: the lower half of the range takes more than half of 0..1.
  for (uint64_t x = 1; x < kWidth; ++x) ASSERT_GT(out.GetVoxel(x), out.GetVoxel(x - 1));
  EXPECT_GT(out.GetVoxel(kWidth / 2), 0.75f);
}

TEST(GrayToFloatNormalized, DoesNotDependOnTheBitDepth) {
  Image3d<float> a, b;
  voxa::GrayToFloatNormalized(Ramp(1), a);
  voxa::GrayToFloatNormalized(Ramp(600), b);
  for (uint64_t i = 0; i < a.GetImageSize(); ++i) ASSERT_NEAR(a.GetVoxel(i), b.GetVoxel(i), 1e-6);
}

TEST(GrayToFloatNormalized, HotVoxelsDoNotSqueezeTheRange) {
  Image3d<unsigned short> image = Ramp(10);
  image.SetVoxel(0, 65535);  // one hot voxel among 1280
  Image3d<float> out;
  voxa::GrayToFloatNormalized(image, out);
  EXPECT_FLOAT_EQ(out.GetVoxel(0), 1.0f);
  EXPECT_GT(out.GetVoxel(kWidth - 2), 0.9f);
}

TEST(GrayToFloatNormalized, ConstantAndEmptyImages) {
  Image3d<unsigned short> flat;
  flat.MakeRoom(5, 5, 1);
  flat.SetAllVoxels(300);
  Image3d<float> out;
  voxa::GrayToFloatNormalized(flat, out);
  for (float v : out) EXPECT_EQ(v, 0.0f);
  voxa::GrayToFloatNormalized(Image3d<unsigned short>(), out);
  EXPECT_TRUE(out.IsEmpty());
}

}  // namespace
