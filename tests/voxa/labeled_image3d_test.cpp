// Region labelling: hand-drawn 2D and 3D images with their expected region ids and records,
// regions of equal value in 16-bit images, neighbourhoods given as data, the grouped edge cases
// and properties on seeded random images. The comparison with scipy.ndimage.label is the script
// tests/scripts/check_labelling.py.
#include "voxa/labeled_image3d.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "voxa/exceptions.h"
#include "voxa/neighbourhood.h"

namespace {

using trel::testing::Draw;
using trel::testing::Picture;
using voxa::Image3d;
using voxa::LabeledImage3d;
using voxa::VOI;
using Rows = std::vector<std::string>;

template <class V>
LabeledImage3d<unsigned short, V> Regions(const Image3d<V>& image, const voxa::Neighbourhood& nb) {
  LabeledImage3d<unsigned short, V> regions;
  regions.CreateForegroundRegionsFF(image, nb);
  return regions;
}

Rows Ids(const Rows& mask, const voxa::Neighbourhood& nb) {
  return Picture<unsigned short>(Regions(Draw<bool>(mask), nb));
}

TEST(LabeledImage3d, RegionsAreNumberedByTheirFirstVoxelInRasterOrder) {
  const Rows mask = {"11...1", "..1..1", "......", "1...11"};
  EXPECT_EQ(Ids(mask, voxa::nb2D_8), (Rows{"11...2", "..1..2", "......", "3...44"}));
  EXPECT_EQ(Ids(mask, voxa::nb2D_4), (Rows{"11...2", "..3..2", "......", "4...55"}));
}

TEST(LabeledImage3d, RunsJoinedLateKeepTheIdOfTheEarliestVoxel) {
  // The right column starts first; the left column meets it only through the bottom row.
  EXPECT_EQ(Ids({"..1.1", "1.1.1", "1...1", "11111"}, voxa::nb2D_8),
            (Rows{"..1.2", "2.1.2", "2...2", "22222"}));
  EXPECT_EQ(Ids({"1.1.1", "1.1.1", "11111"}, voxa::nb2D_4), (Rows{"1.1.1", "1.1.1", "11111"}));
}

TEST(LabeledImage3d, RecordsGiveValueVolumeAndBoundingBox) {
  const auto regions = Regions(Draw<bool>({"......", ".11...", "..1..1", "......"}), voxa::nb2D_8);
  ASSERT_EQ(regions.NumberOfComponents(), 2u);
  const auto& first = regions.GetComponents().at(1);
  EXPECT_EQ(first.label, 1);
  EXPECT_TRUE(first.value);
  EXPECT_EQ(first.volume, 3u);
  EXPECT_EQ(first.voi, VOI<>(1, 1, 0, 2, 2, 1));
  const auto& second = regions.GetComponents().at(2);
  EXPECT_EQ(second.volume, 1u);
  EXPECT_EQ(second.voi, VOI<>(5, 2, 0, 1, 1, 1));
}

TEST(LabeledImage3d, TouchingVoxelsOfDifferentValuesFormSeparateRegions) {
  const Image3d<unsigned short> labels = Draw<unsigned short>({"55.7", "5577", "..7.", ".5.7"});
  const auto full = Regions(labels, voxa::nb2D_8);
  EXPECT_EQ(Picture<unsigned short>(full), (Rows{"11.2", "1122", "..2.", ".3.2"}));
  ASSERT_EQ(full.NumberOfComponents(), 3u);
  EXPECT_EQ(full.GetComponents().at(1).value, 5);
  EXPECT_EQ(full.GetComponents().at(2).value, 7);
  EXPECT_EQ(full.GetComponents().at(2).volume, 5u);
  EXPECT_EQ(full.GetComponents().at(3).value, 5);
  EXPECT_EQ(Picture<unsigned short>(Regions(labels, voxa::nb2D_4)),
            (Rows{"11.2", "1122", "..2.", ".3.4"}));
}

TEST(LabeledImage3d, StacksJoinAcrossSlicesByTheirNeighbourhood) {
  const Image3d<bool> stack = Draw<bool>({"1..", "...", "..1", "", "...", ".1.", "..."});
  EXPECT_EQ(Picture<unsigned short>(Regions(stack, voxa::nb3D_26)),
            (Rows{"1..", "...", "..1", "", "...", ".1.", "..."}));
  EXPECT_EQ(Picture<unsigned short>(Regions(stack, voxa::nb3D_6)),
            (Rows{"1..", "...", "..2", "", "...", ".3.", "..."}));
  const auto regions = Regions(stack, voxa::nb3D_26);
  EXPECT_EQ(regions.GetComponents().at(1).voi, VOI<>(0, 0, 0, 3, 3, 2));
  EXPECT_EQ(regions.GetComponents().at(1).volume, 3u);
  // A 2D neighbourhood never joins slices.
  EXPECT_EQ(Regions(stack, voxa::nb2D_8).NumberOfComponents(), 3u);
}

TEST(LabeledImage3d, NeighbourhoodsAreData) {
  const voxa::Neighbourhood vertical({{0, -1, 0}, {0, 1, 0}});
  EXPECT_EQ(Ids({"111", "1..", "1.."}, vertical), (Rows{"123", "1..", "1.."}));
  const voxa::Neighbourhood skip_one({{-2, 0, 0}, {2, 0, 0}});
  EXPECT_EQ(Ids({"1.1.1", "11..."}, skip_one), (Rows{"1.1.1", "23..."}));
  // Only one direction given: connectivity is symmetric all the same.
  const voxa::Neighbourhood one_way({{-1, 0, 0}, {1, 0, 0}, {1, 1, 0}});
  EXPECT_EQ(Ids({"..1", ".1.", "1.."}, one_way), (Rows{"..1", ".2.", "3.."}));
  EXPECT_EQ(Ids({"1..", ".1.", "..1"}, one_way), (Rows{"1..", ".1.", "..1"}));
}

TEST(LabeledImage3d, EdgeCases) {
  EXPECT_EQ(Regions(Image3d<bool>(), voxa::nb2D_8).NumberOfComponents(), 0u);
  EXPECT_EQ(Ids({"...", "..."}, voxa::nb2D_8), (Rows{"...", "..."}));
  EXPECT_EQ(Ids({"1"}, voxa::nb3D_26), (Rows{"1"}));
  const auto full = Regions(Draw<bool>({"111", "111", "", "111", "111"}), voxa::nb3D_6);
  ASSERT_EQ(full.NumberOfComponents(), 1u);
  EXPECT_EQ(full.GetComponents().at(1).volume, 12u);
  const Rows checkerboard = {"1.1.", ".1.1", "1.1.", ".1.1"};
  EXPECT_EQ(Ids(checkerboard, voxa::nb2D_8), (Rows{"1.1.", ".1.1", "1.1.", ".1.1"}));
  EXPECT_EQ(Ids(checkerboard, voxa::nb2D_4), (Rows{"1.2.", ".3.4", "5.6.", ".7.8"}));
  EXPECT_EQ(Ids({"1.", ".1"}, voxa::nb2D_4), (Rows{"1.", ".2"}));
  EXPECT_EQ(Ids({".1", "1."}, voxa::nb2D_8), (Rows{".1", "1."}));
  // One row and one column.
  EXPECT_EQ(Ids({"11.111.1"}, voxa::nb2D_8), (Rows{"11.222.3"}));
  EXPECT_EQ(Ids({"1", "1", ".", "1"}, voxa::nb2D_8), (Rows{"1", "1", ".", "2"}));
}

TEST(LabeledImage3d, MoreRegionsThanIdsIsRefused) {
  Image3d<bool> dots;
  dots.MakeRoom(512, 512, 1);
  for (uint64_t y = 0; y < 512; ++y)
    for (uint64_t x = 0; x < 512; ++x) dots.SetVoxel(x, y, 0, (x + y) % 2 == 0);
  LabeledImage3d<unsigned short, bool> regions;
  try {
    regions.CreateForegroundRegionsFF(dots, voxa::nb2D_4);
    FAIL() << "131072 regions were given 16-bit ids";
  } catch (const voxa::InternalException& e) {
    EXPECT_STREQ(e.what(),
                 "CreateForegroundRegionsFF: the image has more regions than the 65535 ids of "
                 "the label type");
  }
  // Under 8-connectivity the same dots are one region.
  regions.CreateForegroundRegionsFF(dots, voxa::nb2D_8);
  EXPECT_EQ(regions.NumberOfComponents(), 1u);
}

Image3d<unsigned short> RandomLabels(uint64_t x, uint64_t y, uint64_t z, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> value(0, 3);
  Image3d<unsigned short> image;
  image.MakeRoom(x, y, z);
  for (unsigned short& v : image) v = static_cast<unsigned short>(value(rng));
  return image;
}

Image3d<unsigned short> Transposed(const Image3d<unsigned short>& image) {
  Image3d<unsigned short> t;
  t.MakeRoom(image.GetSizeY(), image.GetSizeX(), image.GetSizeZ());
  for (uint64_t z = 0; z < image.GetSizeZ(); ++z)
    for (uint64_t y = 0; y < image.GetSizeY(); ++y)
      for (uint64_t x = 0; x < image.GetSizeX(); ++x) t.SetVoxel(y, x, z, image.GetVoxel(x, y, z));
  return t;
}

TEST(LabeledImage3d, RandomImagesKeepEveryRegionOfOneValueAndTransposeAlike) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const Image3d<unsigned short> image = RandomLabels(23, 17, 5, seed);
    const Image3d<unsigned short> before = image;
    const auto regions = Regions(image, voxa::nb3D_26);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), before.begin())) << "input changed";
    std::vector<uint64_t> volume(regions.NumberOfComponents() + 1, 0);
    for (uint64_t k = 0; k < image.GetImageSize(); ++k) {
      const unsigned short id = regions.GetVoxel(k);
      ASSERT_EQ(id == 0, image.GetVoxel(k) == 0);
      if (id) {
        EXPECT_EQ(regions.GetComponents().at(id).value, image.GetVoxel(k));
      }
      ++volume[id];
    }
    for (const auto& [id, info] : regions.GetComponents()) EXPECT_EQ(info.volume, volume[id]);
    // The same partition, up to the numbering, for the transposed image.
    const auto t = Regions(Transposed(image), voxa::nb3D_26);
    EXPECT_EQ(t.NumberOfComponents(), regions.NumberOfComponents());
    std::vector<int> map(regions.NumberOfComponents() + 1, -1);
    for (uint64_t z = 0; z < image.GetSizeZ(); ++z)
      for (uint64_t y = 0; y < image.GetSizeY(); ++y)
        for (uint64_t x = 0; x < image.GetSizeX(); ++x) {
          const unsigned short a = regions.GetVoxel(x, y, z), b = t.GetVoxel(y, x, z);
          if (map[a] < 0) map[a] = b;
          ASSERT_EQ(map[a], b) << "at " << x << "," << y << "," << z;
        }
  }
}

TEST(LabeledImage3d, ThreeDimensionalNeighbourhoodsOnOneSliceActAsTheirPlanarPart) {
  for (unsigned seed = 10; seed < 14; ++seed) {
    const Image3d<unsigned short> slice = RandomLabels(31, 29, 1, seed);
    EXPECT_EQ(Picture<unsigned short>(Regions(slice, voxa::nb3D_26)),
              Picture<unsigned short>(Regions(slice, voxa::nb2D_8)));
    EXPECT_EQ(Picture<unsigned short>(Regions(slice, voxa::nb3D_6)),
              Picture<unsigned short>(Regions(slice, voxa::nb2D_4)));
  }
}

TEST(LabeledImage3d, ALabellingReusedForAnotherImageKeepsNothingOfTheFirst) {
  LabeledImage3d<unsigned short, bool> regions;
  regions.CreateForegroundRegionsFF(Draw<bool>({"1.1", ".1.", "1.1"}), voxa::nb2D_4);
  EXPECT_EQ(regions.NumberOfComponents(), 5u);
  regions.CreateForegroundRegionsFF(Draw<bool>({"...", ".11", "..."}), voxa::nb2D_4);
  EXPECT_EQ(Picture<unsigned short>(regions), (Rows{"...", ".11", "..."}));
  EXPECT_EQ(regions.NumberOfComponents(), 1u);
}

}  // namespace
