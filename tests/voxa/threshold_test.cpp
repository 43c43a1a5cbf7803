// Thresholding: the band is closed at both ends, the output takes the input's geometry, and an
// empty band gives an empty mask.
#include "voxa/threshold.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using trel::testing::Draw;
using trel::testing::Picture;
using voxa::Image3d;
using Rows = std::vector<std::string>;

TEST(Threshold, BandIncludesBothBounds) {
  const Image3d<unsigned short> image = Draw<unsigned short>({".123", "4567", "", "89ab", "...1"});
  Image3d<bool> mask;
  voxa::Threshold<unsigned short, bool>(image, mask, 1, 65535);
  EXPECT_EQ(Picture<bool>(mask), (Rows{".111", "1111", "", "1111", "...1"}));
  voxa::Threshold(image, mask, 3, 9);
  EXPECT_EQ(Picture<bool>(mask), (Rows{"...1", "1111", "", "11..", "...."}));
  voxa::Threshold(image, mask, 5, 4);
  EXPECT_EQ(Picture<bool>(mask), (Rows{"....", "....", "", "....", "...."}));
}

TEST(Threshold, OutputTakesTheInputsGeometry) {
  Image3d<unsigned short> image = Draw<unsigned short>({"12", "34", "56"});
  image.SetResolution(voxa::Resolution({2.0f, 4.0f, 0.5f}));
  image.SetOffset({1.0f, -3.0f, 7.0f});
  Image3d<bool> mask = Draw<bool>({"1111111"});
  voxa::Threshold(image, mask, 0, 0);
  EXPECT_EQ(Picture<bool>(mask), (Rows{"..", "..", ".."}));
  EXPECT_EQ(mask.GetResolution().GetRes(), (voxa::Vector3d<float>{2.0f, 4.0f, 0.5f}));
  EXPECT_EQ(mask.GetOffset(), (voxa::Vector3d<float>{1.0f, -3.0f, 7.0f}));
}

}  // namespace
