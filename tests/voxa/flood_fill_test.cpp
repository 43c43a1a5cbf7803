// Flood fill: the region of the seed's value under 4-, 8-, 6- and 26-connectivity on hand-drawn
// images, the background as a region, a seed that already holds the value, and a seed outside.
#include "voxa/flood_fill.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "voxa/exceptions.h"

namespace {

using trel::testing::Draw;
using trel::testing::Picture;
using voxa::Image3d;
using Rows = std::vector<std::string>;

Rows Flooded(const Rows& rows, unsigned short value, uint64_t seed, const voxa::Neighbourhood& nb) {
  Image3d<unsigned short> image = Draw<unsigned short>(rows);
  voxa::FloodFill(image, value, seed, nb);
  return Picture<unsigned short>(image);
}

TEST(FloodFill, FillsTheConnectedRegionOfTheSeedsValueOnly) {
  const Rows image = {"77.3", "7.7.", "...7", "7..."};
  EXPECT_EQ(Flooded(image, 4, 0, voxa::nb2D_8), (Rows{"44.3", "4.4.", "...4", "7..."}));
  EXPECT_EQ(Flooded(image, 4, 0, voxa::nb2D_4), (Rows{"44.3", "4.7.", "...7", "7..."}));
  EXPECT_EQ(Flooded(image, 9, 3, voxa::nb2D_8), (Rows{"77.9", "7.7.", "...7", "7..."}));
}

TEST(FloodFill, BackgroundIsARegionLikeAnyOther) {
  EXPECT_EQ(Flooded({"...", ".1.", "..."}, 5, 0, voxa::nb2D_4), (Rows{"555", "515", "555"}));
  EXPECT_EQ(Flooded({".1.", "1.1", ".1."}, 5, 0, voxa::nb2D_4), (Rows{"51.", "1.1", ".1."}));
}

TEST(FloodFill, StacksFillAcrossSlicesByTheirNeighbourhood) {
  const Rows stack = {"2..", "...", "", "...", ".2.", "", "...", "..2"};
  EXPECT_EQ(Flooded(stack, 6, 0, voxa::nb3D_26),
            (Rows{"6..", "...", "", "...", ".6.", "", "...", "..6"}));
  EXPECT_EQ(Flooded(stack, 6, 0, voxa::nb3D_6),
            (Rows{"6..", "...", "", "...", ".2.", "", "...", "..2"}));
  EXPECT_EQ(Flooded(stack, 6, 0, voxa::nb2D_8),
            (Rows{"6..", "...", "", "...", ".2.", "", "...", "..2"}));
}

TEST(FloodFill, SeedHoldingTheValueAlreadyChangesNothing) {
  const Rows image = {"33", "3."};
  EXPECT_EQ(Flooded(image, 3, 1, voxa::nb2D_8), image);
  Image3d<bool> mask = Draw<bool>({"1.", ".1"});
  voxa::FloodFill(mask, false, 3, voxa::nb2D_8);
  EXPECT_EQ(Picture<bool>(mask), (Rows{"..", ".."}));
}

TEST(FloodFill, SeedOutsideTheImageIsRefused) {
  Image3d<unsigned short> image = Draw<unsigned short>({"12", "34"});
  try {
    voxa::FloodFill<unsigned short>(image, 1, 4, voxa::nb2D_4);
    FAIL() << "seed 4 accepted in a 4-voxel image";
  } catch (const voxa::InternalException& e) {
    EXPECT_STREQ(e.what(), "FloodFill: the seed index 4 lies outside the image of 4 voxels");
  }
  EXPECT_EQ(Picture<unsigned short>(image), (Rows{"12", "34"}));
}

}  // namespace
