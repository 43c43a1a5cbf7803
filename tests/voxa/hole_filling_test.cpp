// Hole filling: rings and cavities drawn by hand under both connectivities, the border at its
// limit, tubes that are holes slice by slice but open in 3D, and properties on seeded random
// masks (nothing true is lost, filling twice changes nothing, a planar neighbourhood fills a stack
// slice by slice). The comparison with scipy's binary_fill_holes is in check_labelling.py.
#include "voxa/hole_filling.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using trel::testing::Draw;
using trel::testing::Picture;
using voxa::Image3d;
using Rows = std::vector<std::string>;

Rows Filled(const Rows& mask, const voxa::Neighbourhood& nb) {
  Image3d<bool> image = Draw<bool>(mask);
  voxa::BinFillHoles(image, nb);
  return Picture<bool>(image);
}

TEST(BinFillHoles, RingIsFilled) {
  EXPECT_EQ(Filled({".....", ".111.", ".1.1.", ".111.", "....."}, voxa::nb2D_4),
            (Rows{".....", ".111.", ".111.", ".111.", "....."}));
  EXPECT_EQ(Filled({"1111", "1..1", "1..1", "1111"}, voxa::nb2D_4),
            (Rows{"1111", "1111", "1111", "1111"}));
}

TEST(BinFillHoles, BackgroundLeaksThroughDiagonalGapsOnlyUnderFullConnectivity) {
  const Rows ring = {".....", ".11..", ".1.1.", "..11.", "....."};
  EXPECT_EQ(Filled(ring, voxa::nb2D_4), (Rows{".....", ".11..", ".111.", "..11.", "....."}));
  EXPECT_EQ(Filled(ring, voxa::nb2D_8), ring);
}

TEST(BinFillHoles, HolesOnTheImageEdgeStayOpen) {
  EXPECT_EQ(Filled({"111", "1.1", "1.1"}, voxa::nb2D_4), (Rows{"111", "1.1", "1.1"}));
  EXPECT_EQ(Filled({"1.1", "111"}, voxa::nb2D_4), (Rows{"1.1", "111"}));
  // One voxel in from every edge is enclosed.
  EXPECT_EQ(Filled({"111", "1.1", "111"}, voxa::nb2D_4), (Rows{"111", "111", "111"}));
  // The last column is an edge as well as the first.
  EXPECT_EQ(Filled({"1111", "1.1.", "1111"}, voxa::nb2D_4), (Rows{"1111", "111.", "1111"}));
  EXPECT_EQ(Filled({".", "1"}, voxa::nb2D_4), (Rows{".", "1"}));
}

TEST(BinFillHoles, CavityClosedInThreeDimensionsIsFilled) {
  const Rows box = {"111", "111", "111", "", "111", "1.1", "111", "", "111", "111", "111"};
  const Rows solid = {"111", "111", "111", "", "111", "111", "111", "", "111", "111", "111"};
  EXPECT_EQ(Filled(box, voxa::nb3D_6), solid);
  EXPECT_EQ(Filled(box, voxa::nb3D_26), solid);
}

TEST(BinFillHoles, TubeIsAHoleInEachSliceButOpenInThreeDimensions) {
  Rows tube;
  for (int z = 0; z < 3; ++z) {
    if (z) tube.push_back("");
    for (const char* row : {".....", ".111.", ".1.1.", ".111.", "....."}) tube.push_back(row);
  }
  EXPECT_EQ(Filled(tube, voxa::nb3D_6), tube);
  Rows slices = tube;
  for (size_t k = 2; k < slices.size(); k += 6) slices[k] = ".111.";
  EXPECT_EQ(Filled(tube, voxa::nb2D_4), slices);
  // Closed at the bottom only: the top slice still lets the background in.
  Rows cup = tube;
  cup[2] = ".111.";
  EXPECT_EQ(Filled(cup, voxa::nb3D_6), cup);
}

TEST(BinFillHoles, EdgeCases) {
  Image3d<bool> empty;
  voxa::BinFillHoles(empty, voxa::nb2D_4);
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(Filled({"."}, voxa::nb2D_4), (Rows{"."}));
  EXPECT_EQ(Filled({"1"}, voxa::nb3D_6), (Rows{"1"}));
  EXPECT_EQ(Filled({"111", "1.1", "111"}, voxa::nb3D_6), (Rows{"111", "111", "111"}));
  EXPECT_EQ(Filled({"...", "..."}, voxa::nb2D_8), (Rows{"...", "..."}));
  EXPECT_EQ(Filled({"111", "111"}, voxa::nb2D_8), (Rows{"111", "111"}));
  // One row or one column: every voxel lies on an edge.
  EXPECT_EQ(Filled({"1.1"}, voxa::nb2D_4), (Rows{"1.1"}));
  EXPECT_EQ(Filled({"1", ".", "1"}, voxa::nb3D_6), (Rows{"1", ".", "1"}));
  // Two slices: every voxel lies on a z edge, so nothing is enclosed in 3D.
  const Rows two = {"111", "1.1", "111", "", "111", "1.1", "111"};
  EXPECT_EQ(Filled(two, voxa::nb3D_6), two);
}

Image3d<bool> RandomMask(uint64_t x, uint64_t y, uint64_t z, double density, unsigned seed) {
  std::mt19937 rng(seed);
  std::bernoulli_distribution on(density);
  Image3d<bool> mask;
  mask.MakeRoom(x, y, z);
  for (bool& v : mask) v = on(rng);
  return mask;
}

TEST(BinFillHoles, RandomMasksKeepTheirObjectsAndFillOnce) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    const Image3d<bool> mask = RandomMask(37, 29, seed % 2 ? 1 : 7, 0.55, seed);
    const voxa::Neighbourhood& nb = mask.GetSizeZ() == 1 ? voxa::nb2D_4 : voxa::nb3D_6;
    Image3d<bool> once = mask;
    voxa::BinFillHoles(once, nb);
    uint64_t added = 0;
    for (uint64_t k = 0; k < mask.GetImageSize(); ++k) {
      ASSERT_TRUE(!mask.GetVoxel(k) || once.GetVoxel(k)) << "a true voxel was lost";
      added += once.GetVoxel(k) && !mask.GetVoxel(k);
    }
    EXPECT_GT(added, 0u) << "dense random masks always hold some hole";
    Image3d<bool> twice = once;
    voxa::BinFillHoles(twice, nb);
    EXPECT_EQ(Picture<bool>(twice), Picture<bool>(once));
  }
}

TEST(BinFillHoles, PlanarNeighbourhoodFillsAStackSliceBySlice) {
  for (unsigned seed = 20; seed < 24; ++seed) {
    Image3d<bool> stack = RandomMask(19, 23, 4, 0.6, seed);
    Image3d<bool> expected = stack, slice;
    for (uint64_t z = 0; z < stack.GetSizeZ(); ++z) {
      expected.GetSliceZ(slice, z);
      voxa::BinFillHoles(slice, voxa::nb3D_6);  // one slice: only its in-plane neighbours count
      expected.SetSliceZ(slice, z);
    }
    voxa::BinFillHoles(stack, voxa::nb2D_4);
    EXPECT_EQ(Picture<bool>(stack), Picture<bool>(expected));
  }
}

}  // namespace
