// Image3d geometry: sizing, buffer reuse, copies of boxes, slices and moves.
#include <gtest/gtest.h>

#include <numeric>

#include "support/test_support.h"
#include "voxa/exceptions.h"
#include "voxa/image3d.h"

namespace {

using trel::testing::Draw;
using trel::testing::Picture;
using voxa::Image3d;

TEST(Image3d, StartsEmptyAtTheGivenPlace) {
  const voxa::Vector3d<float> offset(1, 2, 3);
  const voxa::Resolution res({2, 2, 0.5f});
  const Image3d<float> image(&offset, &res);
  EXPECT_TRUE(image.IsEmpty());
  EXPECT_EQ(image.GetOffset(), offset);
  EXPECT_EQ(image.GetResolution().GetRes(), res.GetRes());
  EXPECT_EQ(image.begin(), image.end());
}

TEST(Image3d, LinearIndexIsXFastestThenYThenZ) {
  Image3d<unsigned short> image;
  image.MakeRoom(4, 3, 2);
  std::iota(image.begin(), image.end(), 0);
  EXPECT_EQ(image.GetVoxel(1, 2, 1), (1 * 3 + 2) * 4 + 1);
  image.SetVoxel(3, 0, 1, 999);
  EXPECT_EQ(image.GetVoxel(15), 999);
}

TEST(Image3d, MakeRoomKeepsTheBufferWhenTheCountIsUnchanged) {
  Image3d<unsigned char> image;
  image.MakeRoom(6, 4, 1);
  const unsigned char* buffer = image.begin();
  image.MakeRoom(4, 6, 1);
  EXPECT_EQ(image.begin(), buffer);
  EXPECT_EQ(image.GetSizeX(), 4u);
  image.MakeRoom(0, 6, 1);
  EXPECT_TRUE(image.IsEmpty());
  EXPECT_THROW(image.MakeRoom(uint64_t(1) << 40, uint64_t(1) << 40, 16), std::bad_alloc);
}

TEST(Image3d, CopiesABoxAndMovesItsOffset) {
  Image3d<unsigned char> image = Draw<unsigned char>({"1234", "5678", "9abc"});
  image.SetResolution(voxa::Resolution({2, 2, 1}));
  const voxa::VOI<> box(1, 1, 0, 2, 2, 1);
  const Image3d<unsigned char> part(image, &box);
  EXPECT_EQ(Picture(part), (std::vector<std::string>{"67", "ab"}));
  EXPECT_FLOAT_EQ(part.GetOffset()[0], 0.5f);
  const voxa::VOI<> outside(3, 0, 0, 2, 1, 1);
  EXPECT_THROW(Image3d<unsigned char>(image, &outside), voxa::InternalException);
  const Image3d<unsigned char> whole(image, nullptr);
  EXPECT_EQ(Picture(whole), Picture(image));
}

TEST(Image3d, GetsAndSetsZSlices) {
  Image3d<bool> stack = Draw<bool>({"1.", "..", "", ".1", "11"});
  Image3d<bool> slice;
  stack.GetSliceZ(slice, 1);
  EXPECT_EQ(Picture(slice), (std::vector<std::string>{".1", "11"}));
  stack.SetSliceZ(slice, 0);
  EXPECT_EQ(Picture(stack), (std::vector<std::string>{".1", "11", "", ".1", "11"}));
  EXPECT_THROW(stack.GetSliceZ(slice, 2), voxa::InternalException);
  const Image3d<bool> wrong = Draw<bool>({"1.."});
  EXPECT_THROW(stack.SetSliceZ(wrong, 0), voxa::InternalException);
}

TEST(Image3d, MoveLeavesTheSourceEmpty) {
  Image3d<float> a = Draw<float>({"12"});
  Image3d<float> b(std::move(a));
  EXPECT_EQ(b.GetImageSize(), 2u);
  EXPECT_TRUE(a.IsEmpty());  // NOLINT(bugprone-use-after-move): the moved-from state is defined
  a = b;
  EXPECT_EQ(Picture(a), Picture(b));
}

}  // namespace
