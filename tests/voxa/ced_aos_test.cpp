// Coherence-enhancing diffusion: the properties the scheme guarantees (mean kept, range kept,
// constant images fixed), the effect it is for (noise along oriented structure drops) and the
// agreement of its single and double precision instances.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "voxa/exceptions.h"
#include "voxa/filters.h"
#include "voxa/image3d.h"

namespace {

using voxa::Image3d;

constexpr double kPi = 3.14159265358979323846;

// Oblique stripes of period 8, optionally with Gaussian noise, in 16-bit grey values.
Image3d<unsigned short> Stripes(uint64_t nx, uint64_t ny, uint64_t nz, double noise,
                                unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0, noise);
  Image3d<unsigned short> image;
  image.MakeRoom(nx, ny, nz);
  for (uint64_t z = 0; z < nz; ++z)
    for (uint64_t y = 0; y < ny; ++y)
      for (uint64_t x = 0; x < nx; ++x) {
        const double clean = 20000 + 10000 * std::sin(2 * kPi * (0.8 * x + 0.6 * y) / 8.0);
        const double v = noise > 0 ? clean + gauss(rng) : clean;
        image.SetVoxel(x, y, z, static_cast<unsigned short>(std::clamp(v, 0.0, 65535.0)));
      }
  return image;
}

double Mean(const Image3d<unsigned short>& image) {
  return std::accumulate(image.begin(), image.end(), 0.0) / double(image.GetImageSize());
}

double RmsDifference(const Image3d<unsigned short>& a, const Image3d<unsigned short>& b) {
  double sum = 0;
  for (uint64_t i = 0; i < a.GetImageSize(); ++i) {
    const double d = double(a.GetVoxel(i)) - double(b.GetVoxel(i));
    sum += d * d;
  }
  return std::sqrt(sum / double(a.GetImageSize()));
}

TEST(GrayCED_AOS, NoiseAlongStripesDropsWhileTheMeanAndRangeAreKept) {
  for (const uint64_t depth : {1, 6}) {
    SCOPED_TRACE(depth == 1 ? "2D" : "3D");
    const Image3d<unsigned short> clean = Stripes(64, 64, depth, 0, 1);
    Image3d<unsigned short> noisy = Stripes(64, 64, depth, 4000, 2);
    const auto [lo, hi] = std::minmax_element(noisy.begin(), noisy.end());
    const unsigned short min = *lo, max = *hi;
    const double before = RmsDifference(noisy, clean);
    const double mean = Mean(noisy);
    voxa::GrayCED_AOS<float>(noisy, 1.0f, 4.0f, 1.0f, 10);
    EXPECT_LT(RmsDifference(noisy, clean), 0.4 * before);
    EXPECT_NEAR(Mean(noisy), mean, 0.002 * mean);
    for (unsigned short v : noisy) {
      ASSERT_GE(v, min);
      ASSERT_LE(v, max);
    }
  }
}

TEST(GrayCED_AOS, FloatAndDoubleAgree) {
  Image3d<unsigned short> a = Stripes(48, 40, 1, 3000, 5);
  Image3d<unsigned short> b = a;
  voxa::GrayCED_AOS<float>(a, 1.0f, 3.0f, 1.5f, 4);
  voxa::GrayCED_AOS<double>(b, 1.0, 3.0, 1.5, 4);
  for (uint64_t i = 0; i < a.GetImageSize(); ++i)
    ASSERT_NEAR(a.GetVoxel(i), b.GetVoxel(i), 2) << "voxel " << i;
}

TEST(GrayCED_AOS, ConstantImagesAndZeroStepsAreLeftAlone) {
  Image3d<unsigned short> flat;
  flat.MakeRoom(20, 10, 2);
  flat.SetAllVoxels(777);
  voxa::GrayCED_AOS<double>(flat, 1.0, 4.0, 2.0, 3);
  for (unsigned short v : flat) ASSERT_EQ(v, 777);
  Image3d<unsigned short> stripes = Stripes(16, 16, 1, 1000, 3);
  const Image3d<unsigned short> copy = stripes;
  voxa::GrayCED_AOS<float>(stripes, 1.0f, 4.0f, 2.0f, 0);
  EXPECT_TRUE(std::equal(stripes.begin(), stripes.end(), copy.begin()));
}

TEST(GrayCED_AOS, ThinAndTinyImagesWork) {
  for (const auto& size : {std::array<uint64_t, 3>{1, 1, 1}, {1, 30, 1}, {30, 1, 1}, {1, 1, 9}}) {
    Image3d<unsigned short> image = Stripes(size[0], size[1], size[2], 2000, 4);
    const double mean = Mean(image);
    EXPECT_NO_THROW(voxa::GrayCED_AOS<float>(image, 1.0f, 2.0f, 1.0f, 2));
    EXPECT_NEAR(Mean(image), mean, 0.01 * mean + 1);
  }
}

TEST(GrayCED_AOS, RefusesNegativeOrNonFiniteParameters) {
  Image3d<unsigned short> image = Stripes(8, 8, 1, 0, 1);
  EXPECT_THROW(voxa::GrayCED_AOS<float>(image, -1.0f, 4.0f, 2.0f, 1), voxa::InternalException);
  EXPECT_THROW(voxa::GrayCED_AOS<double>(image, 1.0, std::nan(""), 2.0, 1),
               voxa::InternalException);
  EXPECT_THROW(voxa::GrayCED_AOS<double>(image, 1.0, 4.0, INFINITY, 1), voxa::InternalException);
}

}  // namespace

// Threads share the work out, never the arithmetic: any count gives the same bytes.
TEST(GrayCED_AOS, ResultIsTheSameForAnyNumberOfThreads) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> grey(0, 4000);
  for (const uint64_t nz : {uint64_t{1}, uint64_t{9}}) {
    Image3d<unsigned short> image;
    image.MakeRoom(75, 1030 / nz, nz);  // lines that fill no chunk of work exactly
    for (unsigned short& v : image) v = static_cast<unsigned short>(grey(random));
    Image3d<unsigned short> one = image;
    voxa::GrayCED_AOS<float>(one, 1.0f, 3.0f, 1.5f, 2, voxa::Parallelism{1});
    for (const unsigned threads : {2u, 3u}) {
      Image3d<unsigned short> many = image;
      voxa::GrayCED_AOS<float>(many, 1.0f, 3.0f, 1.5f, 2, voxa::Parallelism{threads});
      EXPECT_TRUE(std::equal(one.begin(), one.end(), many.begin())) << nz << " " << threads;
    }
    Image3d<unsigned short> blurred = image, blurred_many = image;
    voxa::GrayGaussIIR(blurred, 2.5);
    voxa::GrayGaussIIR(blurred_many, 2.5, voxa::Parallelism{3});
    EXPECT_TRUE(std::equal(blurred.begin(), blurred.end(), blurred_many.begin())) << nz;
  }
}
