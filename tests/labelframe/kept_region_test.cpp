// The kept-region test at its limits: min_size, and each of the four border conditions with a
// margin of 5 on a 100-voxel image; margins 0 and 1 keep everything, a margin wider than the
// image keeps nothing, and z is never tested.
#include "labelframe/kept_region.h"

#include <gtest/gtest.h>

namespace {

using trel::IsKeptRegion;
using voxa::VOI;

constexpr uint64_t kSize = 100, kBorder = 5;

bool KeptAt(uint64_t x0, uint64_t w, uint64_t y0, uint64_t h, uint64_t border = kBorder) {
  return IsKeptRegion(VOI<>(x0, y0, 0, w, h, 1), w * h, kSize, kSize, 0, border);
}

TEST(IsKeptRegion, VolumeMustReachMinSize) {
  const VOI<> box(40, 40, 0, 3, 3, 1);
  EXPECT_TRUE(IsKeptRegion(box, 10, kSize, kSize, 10, 0));
  EXPECT_FALSE(IsKeptRegion(box, 9, kSize, kSize, 10, 0));
  EXPECT_TRUE(IsKeptRegion(box, 0, kSize, kSize, 0, 0));
}

TEST(IsKeptRegion, BoxesWhollyInsideTheMarginAreDiscarded) {
  EXPECT_FALSE(KeptAt(0, 4, 40, 10));   // columns 0-3
  EXPECT_TRUE(KeptAt(0, 5, 40, 10));    // columns 0-4
  EXPECT_TRUE(KeptAt(95, 5, 40, 10));   // starts at column 95
  EXPECT_FALSE(KeptAt(96, 4, 40, 10));  // starts at column 96
  EXPECT_FALSE(KeptAt(40, 10, 0, 4));
  EXPECT_TRUE(KeptAt(40, 10, 0, 5));
  EXPECT_TRUE(KeptAt(40, 10, 95, 5));
  EXPECT_FALSE(KeptAt(40, 10, 96, 4));
  // A box that crosses the margin is kept.
  EXPECT_TRUE(KeptAt(2, 10, 2, 10));
}

TEST(IsKeptRegion, SmallMarginsKeepEveryPosition) {
  for (uint64_t border : {0, 1}) {
    EXPECT_TRUE(KeptAt(0, 1, 0, 1, border));
    EXPECT_TRUE(KeptAt(99, 1, 99, 1, border));
    EXPECT_TRUE(KeptAt(0, 1, 99, 1, border));
  }
  // With a margin of 2 the outermost line is the margin.
  EXPECT_FALSE(KeptAt(0, 1, 50, 1, 2));
  EXPECT_FALSE(KeptAt(99, 1, 50, 1, 2));
  EXPECT_TRUE(KeptAt(1, 1, 50, 1, 2));
}

TEST(IsKeptRegion, MarginWiderThanTheImageDiscardsEverything) {
  EXPECT_FALSE(KeptAt(0, 100, 0, 100, 101));
  EXPECT_FALSE(KeptAt(40, 10, 40, 10, 1000));
}

TEST(IsKeptRegion, DepthIsNeverTested) {
  EXPECT_TRUE(IsKeptRegion(VOI<>(40, 40, 0, 10, 10, 1), 100, kSize, kSize, 0, kBorder));
  EXPECT_TRUE(IsKeptRegion(VOI<>(40, 40, 99, 10, 10, 1), 100, kSize, kSize, 0, kBorder));
}

}  // namespace
