// Gaussian blur: constants stay, mass is kept, the impulse response is symmetric with the wanted
// variance (exact kernel and box passes), and each axis is blurred only by its own sigma.
#include "gaussian_blur.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace trel::tool {
namespace {

double Sum(const std::vector<float>& v) {
  return std::accumulate(v.begin(), v.end(), 0.0);
}

// Variance of the impulse response along x through the centre of a line.
double Variance(const std::vector<float>& v, size_t centre) {
  double m = 0.0, s = 0.0;
  for (size_t i = 0; i < v.size(); ++i) {
    m += v[i];
    s += v[i] * (static_cast<double>(i) - centre) * (static_cast<double>(i) - centre);
  }
  return s / m;
}

TEST(GaussianBlurTest, ImpulseResponseHasTheWantedVariance) {
  for (double sigma : {1.2, 2.5, 6.0, 12.0}) {  // exact kernels and box passes
    std::vector<float> line(201, 0.0f);
    line[100] = 1.0f;
    GaussianBlur(line, {201, 1, 1}, {sigma, 0.0, 0.0});
    EXPECT_NEAR(Sum(line), 1.0, 1e-5);
    EXPECT_NEAR(Variance(line, 100), sigma * sigma, 0.08 * sigma * sigma) << sigma;
    for (size_t k = 1; k <= 100; ++k) EXPECT_NEAR(line[100 - k], line[100 + k], 1e-6);
  }
}

TEST(GaussianBlurTest, AxesAreBlurredByTheirOwnSigma) {
  const VolumeSize size = {9, 9, 9};
  std::vector<float> v(729, 0.0f);
  v[(4 * 9 + 4) * 9 + 4] = 1.0f;
  GaussianBlur(v, size, {0.0, 0.0, 1.0});
  // Only the z line through the centre is touched.
  EXPECT_EQ(v[(4 * 9 + 4) * 9 + 5], 0.0f);
  EXPECT_EQ(v[(4 * 9 + 5) * 9 + 4], 0.0f);
  EXPECT_GT(v[(5 * 9 + 4) * 9 + 4], 0.0f);
  EXPECT_FLOAT_EQ(v[(5 * 9 + 4) * 9 + 4], v[(3 * 9 + 4) * 9 + 4]);
  // Blurring y afterwards spreads the line into the y-z plane, and the result is the same as
  // blurring both at once.
  std::vector<float> both(729, 0.0f);
  both[(4 * 9 + 4) * 9 + 4] = 1.0f;
  GaussianBlur(both, size, {0.0, 3.5, 1.0});
  GaussianBlur(v, size, {0.0, 3.5, 0.0});
  for (size_t k = 0; k < v.size(); ++k) EXPECT_NEAR(v[k], both[k], 1e-6);
}

TEST(GaussianBlurTest, ConstantsStayAndEdgeCases) {
  std::vector<float> v(6 * 5 * 4, 3.25f);
  GaussianBlur(v, {6, 5, 4}, {1.0, 5.0, 2.0});
  for (float x : v) EXPECT_NEAR(x, 3.25f, 1e-5);
  std::vector<float> one = {7.0f};
  GaussianBlur(one, {1, 1, 1}, {2.0, 2.0, 2.0});
  EXPECT_EQ(one[0], 7.0f);
  std::vector<float> untouched = {1.0f, 0.0f, 0.0f};
  GaussianBlur(untouched, {3, 1, 1}, {0.0, 0.0, 0.0});
  EXPECT_EQ(untouched, (std::vector<float>{1.0f, 0.0f, 0.0f}));
}

TEST(GaussianBlurTest, KeepsTheMeanAwayFromTheBorder) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> value(0.0f, 100.0f);
  std::vector<float> v(64 * 48, 0.0f);
  // Random values only in the middle, far from the border, so that no mass leaves.
  for (size_t y = 20; y < 28; ++y)
    for (size_t x = 26; x < 38; ++x) v[y * 64 + x] = value(random);
  const double before = Sum(v);
  GaussianBlur(v, {64, 48, 1}, {2.0, 4.0, 0.0});
  EXPECT_NEAR(Sum(v), before, 1e-4 * before);
}

}  // namespace
}  // namespace trel::tool
