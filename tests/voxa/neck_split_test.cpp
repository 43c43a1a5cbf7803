// CutNarrowNecks on drawn label images: two discs of one label joined by a narrow neck come out
// as two bodies cut by a thin line, wide necks, lobes, lone discs and other labels stay as they
// are, stacks are cut in 3D, and a bad ratio is refused.
#include "voxa/neck_split.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "voxa/exceptions.h"
#include "voxa/image3d.h"
#include "voxa/labeled_image3d.h"
#include "voxa/neighbourhood.h"

namespace {

using voxa::Image3d;

// Label `label` on two balls of radius r and s whose centres lie `gap` apart along x.
Image3d<unsigned short> TwoBalls(double r, double s, double gap, uint64_t nz = 1,
                                 unsigned short label = 3) {
  Image3d<unsigned short> labels;
  labels.MakeRoom(80, 40, nz);
  const double cz = (double(nz) - 1) / 2;
  for (uint64_t z = 0; z < nz; ++z)
    for (uint64_t y = 0; y < 40; ++y)
      for (uint64_t x = 0; x < 80; ++x) {
        const double dz = nz > 1 ? z - cz : 0.0;
        const bool in = std::hypot(x - 20.0, y - 20.0, dz) <= r ||
                        std::hypot(x - 20.0 - gap, y - 20.0, dz) <= s;
        labels.SetVoxel(x, y, z, in ? label : 0);
      }
  return labels;
}

uint64_t Regions(const Image3d<unsigned short>& labels) {
  voxa::LabeledImage3d<unsigned short, unsigned short> regions;
  regions.CreateForegroundRegionsFF(labels, labels.GetSizeZ() > 1 ? voxa::nb3D_26 : voxa::nb2D_8);
  return regions.NumberOfComponents();
}

uint64_t Count(const Image3d<unsigned short>& labels) {
  uint64_t n = 0;
  for (const unsigned short v : labels) n += v != 0;
  return n;
}

TEST(CutNarrowNecks, TwoDiscsOnANarrowNeckBecomeTwoBodies) {
  Image3d<unsigned short> labels = TwoBalls(10, 10, 18);
  const uint64_t before = Count(labels);
  const size_t cut = voxa::CutNarrowNecks(labels, 0.8f);
  EXPECT_EQ(Regions(labels), 2u);
  EXPECT_GT(cut, 0u);
  EXPECT_LT(cut, 20u);  // a line across the neck, no more
  EXPECT_EQ(Count(labels), before - cut);
  for (const unsigned short v : labels) ASSERT_TRUE(v == 0 || v == 3);
}

TEST(CutNarrowNecks, WideNecksLobesAndLoneDiscsStayWhole) {
  for (const auto& [r, s, gap] :
       {std::array{10.0, 10.0, 8.0}, std::array{12.0, 5.0, 16.0}, std::array{10.0, 0.0, 40.0}}) {
    Image3d<unsigned short> labels = TwoBalls(r, s, gap);
    const Image3d<unsigned short> before = labels;
    EXPECT_EQ(voxa::CutNarrowNecks(labels, 0.8f), 0u) << r << " " << s << " " << gap;
    EXPECT_TRUE(std::equal(labels.begin(), labels.end(), before.begin()));
  }
}

// A disc joined by a waist or by a thin bridge to a long bar nearly as wide as itself: bodies of
// like width, but the bar is an arm of a spread-out cell, not a nucleus, however thin the joint.
TEST(CutNarrowNecks, LongArmsStayWhole) {
  for (const uint64_t half_neck : {5u, 2u}) {
    Image3d<unsigned short> labels;
    labels.MakeRoom(80, 40, 1);
    for (uint64_t y = 0; y < 40; ++y)
      for (uint64_t x = 0; x < 80; ++x) {
        const bool disc = std::hypot(x - 14.0, y - 20.0) <= 9;
        const bool neck = x >= 20 && x < 31 && y + half_neck >= 20 && y <= 20 + half_neck;
        const bool bar = x >= 31 && y >= 13 && y <= 27;
        labels.SetVoxel(x, y, 0, disc || neck || bar ? 3 : 0);
      }
    EXPECT_EQ(voxa::CutNarrowNecks(labels, 0.8f), 0u) << half_neck;  // no notches either
    EXPECT_EQ(Regions(labels), 1u) << half_neck;
  }
}

TEST(CutNarrowNecks, DiscsOfTwoLabelsAreNotOneBody) {
  // The same narrow neck, but each disc with its own label: nothing to cut.
  Image3d<unsigned short> labels = TwoBalls(10, 10, 18);
  for (uint64_t y = 0; y < 40; ++y)
    for (uint64_t x = 29; x < 80; ++x)
      if (labels.GetVoxel(x, y, 0)) labels.SetVoxel(x, y, 0, 4);
  EXPECT_EQ(voxa::CutNarrowNecks(labels, 0.8f), 0u);
}

TEST(CutNarrowNecks, CutsBallsInAStack) {
  Image3d<unsigned short> labels = TwoBalls(8, 8, 14, 17);
  EXPECT_GT(voxa::CutNarrowNecks(labels, 0.8f), 0u);
  EXPECT_EQ(Regions(labels), 2u);
}

TEST(CutNarrowNecks, EdgeCases) {
  Image3d<unsigned short> empty;
  EXPECT_EQ(voxa::CutNarrowNecks(empty, 0.8f), 0u);
  Image3d<unsigned short> labels = TwoBalls(10, 10, 18);
  EXPECT_EQ(voxa::CutNarrowNecks(labels, 0.0f), 0u);  // 0 cuts nothing
  for (const float bad : {-0.5f, NAN, INFINITY})
    EXPECT_THROW(voxa::CutNarrowNecks(labels, bad), voxa::InternalException) << bad;
}

}  // namespace
