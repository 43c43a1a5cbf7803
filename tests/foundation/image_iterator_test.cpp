// Box walks over images: the visiting order, the border of the accepted regions and the size
// check of image pairs.
#include "foundation/image_iterator.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using trel::ImageIterator;
using trel::ImagePairIterator;
using voxa::Image3d;
using voxa::VOI;

Image3d<unsigned short> Sized(uint64_t x, uint64_t y, uint64_t z) {
  Image3d<unsigned short> image;
  image.MakeRoom(x, y, z);
  image.SetAllVoxels(0);
  return image;
}

std::vector<uint64_t> Visit(Image3d<unsigned short>& image, const VOI<>& box) {
  std::vector<uint64_t> indices;
  for (ImageIterator<unsigned short> it(image, box); !it.AtEnd(); ++it)
    indices.push_back(it.Index());
  return indices;
}

TEST(ImageIterator, WholeImageIsVisitedInLinearOrder) {
  Image3d<unsigned short> image = Sized(3, 4, 2);
  const std::vector<uint64_t> indices = Visit(image, VOI<>(0, 0, 0, 3, 4, 2));
  ASSERT_EQ(indices.size(), 24u);
  for (uint64_t i = 0; i < 24; ++i) EXPECT_EQ(indices[i], i);
}

TEST(ImageIterator, BoxesVisitTheirVoxelsOnly) {
  Image3d<unsigned short> image = Sized(4, 4, 1);
  EXPECT_EQ(Visit(image, VOI<>(1, 1, 0, 2, 2, 1)), (std::vector<uint64_t>{5, 6, 9, 10}));
  Image3d<unsigned short> stack = Sized(4, 3, 3);
  EXPECT_EQ(Visit(stack, VOI<>(2, 1, 1, 2, 2, 2)),
            (std::vector<uint64_t>{18, 19, 22, 23, 30, 31, 34, 35}));
}

TEST(ImageIterator, CoordinatesFollowTheIndex) {
  Image3d<unsigned short> stack = Sized(5, 4, 3);
  for (ImageIterator<unsigned short> it(stack, VOI<>(1, 2, 1, 3, 2, 2)); !it.AtEnd(); ++it)
    EXPECT_EQ(stack.Index(it.X(), it.Y(), it.Z()), it.Index());
}

TEST(ImageIterator, RegionsMayReachTheBorderButNotPassIt) {
  Image3d<unsigned short> image = Sized(4, 4, 2);
  EXPECT_EQ(Visit(image, VOI<>(3, 3, 1, 1, 1, 1)), (std::vector<uint64_t>{31}));
  for (const VOI<>& outside : {VOI<>(3, 0, 0, 2, 1, 1), VOI<>(0, 4, 0, 1, 1, 1),
                               VOI<>(0, 0, 1, 1, 1, 2), VOI<>(5, 0, 0, 0, 1, 1)}) {
    try {
      ImageIterator<unsigned short> it(image, outside);
      ADD_FAILURE() << "accepted a region outside the image";
    } catch (const trel::Error& e) {
      EXPECT_STREQ(e.what(), "ImageIterator: Given region is out the image!");
    }
  }
}

TEST(ImageIterator, EmptyBoxesVisitNothing) {
  Image3d<unsigned short> image = Sized(4, 4, 2);
  EXPECT_TRUE(Visit(image, VOI<>(1, 1, 0, 0, 2, 1)).empty());
  EXPECT_TRUE(Visit(image, VOI<>(1, 1, 0, 2, 0, 1)).empty());
  EXPECT_TRUE(Visit(image, VOI<>(1, 1, 0, 2, 2, 0)).empty());
}

TEST(ImagePairIterator, WritesThroughTheSecondImage) {
  Image3d<unsigned short> regions = Sized(4, 3, 1);
  Image3d<bool> mask;
  mask.MakeRoom(4, 3, 1);
  mask.SetAllVoxels(false);
  regions.SetVoxel(5, 2);
  for (ImagePairIterator<unsigned short, bool> it(regions, mask, VOI<>(0, 1, 0, 4, 2, 1));
       !it.AtEnd(); ++it)
    it.Value2() = it.Value() == 2;
  EXPECT_TRUE(mask.GetVoxel(5));
  EXPECT_EQ(std::count(mask.begin(), mask.end(), true), 1);
}

TEST(ImagePairIterator, RefusesImagesOfDifferentSize) {
  Image3d<unsigned short> a = Sized(10, 10, 1), b = Sized(10, 11, 1);
  try {
    ImagePairIterator<unsigned short, unsigned short> it(a, b, VOI<>(0, 0, 0, 2, 2, 1));
    FAIL() << "paired images of different size";
  } catch (const trel::Error& e) {
    EXPECT_STREQ(e.what(), "ImagePairIterator: Incompatible image size!");
  }
  try {  // the region is checked first
    ImagePairIterator<unsigned short, unsigned short> it(a, b, VOI<>(0, 0, 0, 20, 2, 1));
    FAIL() << "accepted a region outside the image";
  } catch (const trel::Error& e) {
    EXPECT_STREQ(e.what(), "ImageIterator: Given region is out the image!");
  }
}

}  // namespace
