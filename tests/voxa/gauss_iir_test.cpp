// The recursive Gaussian: its impulse response against a sampled Gaussian along each axis, the
// rounding and clamping of 16-bit results, and the invariances a smoothing filter must have.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "voxa/exceptions.h"
#include "voxa/filters.h"
#include "voxa/image3d.h"

namespace {

using voxa::Image3d;

constexpr unsigned short kImpulse = 60000;

// Response of a line along `axis` to an impulse in its middle.
std::vector<double> ImpulseResponse(double sigma, int axis, size_t n) {
  Image3d<unsigned short> image;
  uint64_t size[3] = {1, 1, 1};
  size[axis] = n;
  image.MakeRoom(size[0], size[1], size[2]);
  image.SetAllVoxels(0);
  image.SetVoxel(n / 2, kImpulse);
  voxa::GrayGaussIIR(image, sigma);
  return std::vector<double>(image.begin(), image.end());
}

TEST(GrayGaussIIR, ImpulseResponseMatchesASampledGaussianOnEveryAxis) {
  for (const double sigma : {0.5, 0.8, 1.0, 1.5, 2.0, 3.0, 5.0, 10.0})
    for (int axis = 0; axis < 3; ++axis) {
      SCOPED_TRACE(::testing::Message() << "sigma " << sigma << " axis " << axis);
      const size_t n = 2 * static_cast<size_t>(8 * sigma) + 41;
      const std::vector<double> response = ImpulseResponse(sigma, axis, n);
      double norm = 0;
      for (size_t i = 0; i < n; ++i) {
        const double d = double(i) - double(n / 2);
        norm += std::exp(-d * d / (2 * sigma * sigma));
      }
      double max_error = 0, total = 0;
      const double peak = kImpulse / norm;
      for (size_t i = 0; i < n; ++i) {
        const double d = double(i) - double(n / 2);
        const double expected = peak * std::exp(-d * d / (2 * sigma * sigma));
        max_error = std::max(max_error, std::abs(response[i] - expected));
        total += response[i];
      }
      // The recursive filter (from sigma 1) deviates by at most 2.5 % of the peak up to sigma 2
      // and by 1 % beyond; the sampled kernel below sigma 1 is exact up to truncation.
      EXPECT_LT(max_error / peak, sigma >= 1 && sigma < 2 ? 0.025 : 0.01);
      EXPECT_NEAR(total, kImpulse, 0.01 * kImpulse);  // the filter keeps the mass
    }
}

TEST(GrayGaussIIR, ConstantImagesStayConstantAndBrightOnesDoNotOverflow) {
  Image3d<unsigned short> image;
  image.MakeRoom(31, 17, 5);
  for (const unsigned short value : {0, 1, 1234, 65535}) {
    image.SetAllVoxels(value);
    voxa::GrayGaussIIR(image, 2.5);
    for (unsigned short v : image) ASSERT_EQ(v, value);
  }
}

TEST(GrayGaussIIR, TransposedInputGivesTransposedOutput) {
  std::mt19937 rng(7);
  Image3d<unsigned short> a, b;
  a.MakeRoom(23, 11, 1);
  b.MakeRoom(11, 23, 1);
  for (uint64_t y = 0; y < 11; ++y)
    for (uint64_t x = 0; x < 23; ++x) {
      const unsigned short v = rng() % 4000;
      a.SetVoxel(x, y, 0, v);
      b.SetVoxel(y, x, 0, v);
    }
  voxa::GrayGaussIIR(a, 1.7);
  voxa::GrayGaussIIR(b, 1.7);
  for (uint64_t y = 0; y < 11; ++y)
    for (uint64_t x = 0; x < 23; ++x) ASSERT_EQ(a.GetVoxel(x, y, 0), b.GetVoxel(y, x, 0));
}

TEST(GrayGaussIIR, KeepsTheRangeAndTheGeometry) {
  std::mt19937 rng(3);
  Image3d<unsigned short> image;
  image.MakeRoom(40, 30, 3);
  for (auto& v : image) v = 1000 + rng() % 2000;
  image.SetResolution(voxa::Resolution({2, 2, 0.25f}));
  voxa::GrayGaussIIR(image, 1.0);
  for (unsigned short v : image) {
    ASSERT_GE(v, 1000);
    ASSERT_LT(v, 3000);
  }
  EXPECT_EQ(image.GetSize(), voxa::Vector3d<uint64_t>(40, 30, 3));
  EXPECT_FLOAT_EQ(image.GetResolution().GetRes()[2], 0.25f);
}

TEST(GrayGaussIIR, SigmaIsInPixelsAndSlicesFollowTheVoxelSize) {
  // An impulse in a stack whose slices lie `ratio` times as far apart as its pixels: the spread
  // along z, in slices, is sigma / ratio; along x it stays sigma.
  for (const float ratio : {1.0f, 2.0f, 4.0f}) {
    Image3d<unsigned short> image;
    image.MakeRoom(41, 1, 41);
    image.SetAllVoxels(0);
    image.SetResolution(voxa::Resolution({1.0f, 1.0f, 1.0f / ratio}));
    image.SetVoxel(20, 0, 20, kImpulse);
    const double sigma = 4.0;
    voxa::GrayGaussIIR(image, sigma);
    double mass = 0, xx = 0, zz = 0;
    for (uint64_t z = 0; z < 41; ++z)
      for (uint64_t x = 0; x < 41; ++x) {
        const double v = image.GetVoxel(x, 0, z);
        mass += v;
        xx += v * (x - 20.0) * (x - 20.0);
        zz += v * (z - 20.0) * (z - 20.0);
      }
    EXPECT_NEAR(std::sqrt(xx / mass), sigma, 0.1) << "ratio " << ratio;
    EXPECT_NEAR(std::sqrt(zz / mass), sigma / ratio, 0.1) << "ratio " << ratio;
  }
}

TEST(GrayGaussIIR, ZeroSigmaIsTheIdentityAndBadSigmasAreRefused) {
  Image3d<unsigned short> image;
  image.MakeRoom(3, 1, 1);
  image.SetVoxel(1, 500);
  voxa::GrayGaussIIR(image, 0.0);
  EXPECT_EQ(image.GetVoxel(1), 500);
  EXPECT_THROW(voxa::GrayGaussIIR(image, -1.0), voxa::InternalException);
  EXPECT_THROW(voxa::GrayGaussIIR(image, std::nan("")), voxa::InternalException);
  Image3d<unsigned short> empty;
  EXPECT_NO_THROW(voxa::GrayGaussIIR(empty, 1.0));
}

}  // namespace

// The float variant: each axis blurred by its own sigma only, the impulse keeping its mass and
// taking the wanted variance, and the same refusals.
TEST(FloatGaussIIR, EachAxisIsBlurredByItsOwnSigma) {
  Image3d<float> image;
  image.MakeRoom(41, 41, 41);
  image.SetAllVoxels(0.0f);
  image.SetVoxel(20, 20, 20, 1.0f);
  voxa::FloatGaussIIR(image, 0.0, 2.5, 1.0);
  EXPECT_EQ(image.GetVoxel(21, 20, 20), 0.0f);  // x left alone
  double mass = 0, variance_y = 0, variance_z = 0;
  for (uint64_t z = 0; z < 41; ++z)
    for (uint64_t y = 0; y < 41; ++y) {
      const double v = image.GetVoxel(20, y, z);
      mass += v;
      variance_y += v * (double(y) - 20) * (double(y) - 20);
      variance_z += v * (double(z) - 20) * (double(z) - 20);
    }
  EXPECT_NEAR(mass, 1.0, 1e-5);
  EXPECT_NEAR(variance_y / mass, 2.5 * 2.5, 0.05 * 2.5 * 2.5);
  EXPECT_NEAR(variance_z / mass, 1.0, 0.05);
  EXPECT_NEAR(image.GetVoxel(20, 17, 22), image.GetVoxel(20, 23, 18), 1e-7);  // symmetric
  EXPECT_THROW(voxa::FloatGaussIIR(image, 1.0, -1.0, 0.0), voxa::InternalException);
  EXPECT_THROW(voxa::FloatGaussIIR(image, NAN, 1.0, 0.0), voxa::InternalException);
}
