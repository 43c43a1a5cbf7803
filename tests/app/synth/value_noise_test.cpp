// Value noise: bounded, repeatable, smooth, lattice values hashed per seed.
#include "value_noise.h"

#include <gtest/gtest.h>

#include <cmath>

namespace trel::tool {
namespace {

TEST(ValueNoiseTest, BoundedRepeatableAndSeeded) {
  int differing = 0;
  double lowest = 1.0, highest = -1.0;
  for (int k = 0; k < 2000; ++k) {
    const double x = k * 0.37, y = k * 0.11 - 40.0, z = std::sin(k) * 5.0;
    const double v = ValueNoise(3, x, y, z);
    ASSERT_GE(v, -1.0);
    ASSERT_LE(v, 1.0);
    EXPECT_EQ(v, ValueNoise(3, x, y, z));
    differing += v != ValueNoise(4, x, y, z);
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  EXPECT_GT(differing, 1900);
  EXPECT_LT(lowest, -0.5);  // the field uses its range
  EXPECT_GT(highest, 0.5);
}

TEST(ValueNoiseTest, ContinuousAcrossLatticeCells) {
  const double eps = 1e-6;
  for (double x : {-2.0, -1.0, 0.0, 1.0, 7.0})
    EXPECT_NEAR(ValueNoise(1, x - eps, 0.3, 0.6), ValueNoise(1, x + eps, 0.3, 0.6), 1e-4);
  // Neighbouring points are close: no jumps within a cell.
  for (double t = 0.0; t < 3.0; t += 0.01)
    EXPECT_NEAR(ValueNoise(2, t, 1.5, 0.2), ValueNoise(2, t + 0.01, 1.5, 0.2), 0.05);
}

}  // namespace
}  // namespace trel::tool
