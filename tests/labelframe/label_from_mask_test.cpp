// First-frame labelling: numbering in region order with small and border regions dropped, holes
// filled slice by slice before labelling, the geometry taken from the mask, and the tracks opened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "labelframe/frame_builder.h"
#include "labelframe/label_frame.h"
#include "support/test_support.h"

namespace {

using trel::Dimension;
using trel::LabelFrame;
using trel::testing::Draw;
using trel::testing::Picture;
using trel::testing::Stack;
using voxa::Image3d;
using Rows = std::vector<std::string>;

Rows Labelled(LabelFrame& frame, const Rows& mask_rows) {
  Image3d<bool> mask = Draw<bool>(mask_rows);
  frame.LabelFromMask(mask);
  return Picture<unsigned short>(frame);
}

void ExpectFirstFrameTracks(const LabelFrame& frame, uint16_t count) {
  ASSERT_EQ(frame.tracks.size(), count);
  for (uint16_t label = 1; label <= count; ++label) {
    const trel::TrackRecord& r = frame.tracks.at(label);
    EXPECT_EQ(r.label, label);
    EXPECT_EQ(r.first_frame, 0u);
    EXPECT_EQ(r.last_frame, 0u);
    EXPECT_EQ(r.parent, 0);
  }
}

TEST(LabelFromMask, KeptRegionsAreNumberedInRegionOrderWithoutGaps) {
  LabelFrame frame(Dimension::k2D, 3, 0, 0);
  frame.last_label = 7;  // left over from an earlier use: numbering restarts at 1
  EXPECT_EQ(Labelled(frame, {"11....1.", "11...11.", "........", "..1.....", ".1...111"}),
            (Rows{"11....2.", "11...22.", "........", "........", ".....333"}));
  EXPECT_EQ(frame.last_label, 3);
  ExpectFirstFrameTracks(frame, 3);
}

TEST(LabelFromMask, MinSizeIsKeptAtItsLimit) {
  LabelFrame frame(Dimension::k2D, 10, 0, 0);
  EXPECT_EQ(Labelled(frame, {"111..........", "111...11111..", "111...11111.."}),
            (Rows{".............", "......11111..", "......11111.."}));
  ExpectFirstFrameTracks(frame, 1);
}

TEST(LabelFromMask, RingsAreFilledBeforeLabelling) {
  LabelFrame frame(Dimension::k2D, 12, 0, 0);
  Image3d<bool> mask = Draw<bool>({"......", ".1111.", ".1..1.", ".1111.", "......"});
  frame.LabelFromMask(mask);
  // 10 voxels of ring and 2 of hole: the region reaches min_size only when filled.
  EXPECT_EQ(Picture<unsigned short>(frame),
            (Rows{"......", ".1111.", ".1111.", ".1111.", "......"}));
  EXPECT_EQ(Picture<bool>(mask), (Rows{"......", ".1111.", ".1111.", ".1111.", "......"}));
}

TEST(LabelFromMask, StacksAreFilledSliceBySlice) {
  // Slices 0-1 are a tube along z (open in 3D, a ring in each slice); slices 3-4 a cup, closed
  // below only. Both are filled in every slice where their section is a ring.
  const Rows ring = {".....", ".111.", ".1.1.", ".111.", "....."};
  const Rows disc = {".....", ".111.", ".111.", ".111.", "....."};
  const Rows disc2 = {".....", ".222.", ".222.", ".222.", "....."};
  const Rows none = {".....", ".....", ".....", ".....", "....."};
  LabelFrame frame(Dimension::k3D, 0, 0, 0);
  EXPECT_EQ(Labelled(frame, Stack({ring, ring, none, disc, ring})),
            Stack({disc, disc, none, disc2, disc2}));
  ExpectFirstFrameTracks(frame, 2);
}

TEST(LabelFromMask, RegionsInTheBorderMarginAreDropped) {
  Image3d<unsigned short> bars = trel::testing::BorderBars();
  Image3d<bool> mask;
  mask.MakeRoom(bars.GetSizeX(), bars.GetSizeY(), 1);
  for (uint64_t k = 0; k < bars.GetImageSize(); ++k) mask.SetVoxel(k, bars.GetVoxel(k) != 0);
  for (uint64_t border : {0, 1}) {
    LabelFrame frame(Dimension::k2D, 0, 0, border);
    Image3d<bool> m = mask;
    frame.LabelFromMask(m);
    EXPECT_EQ(trel::testing::BarValues(frame),
              (std::vector<unsigned short>{1, 2, 3, 4, 5, 6, 7, 8}));
  }
  LabelFrame frame(Dimension::k2D, 0, 0, trel::testing::kBorderMargin);
  Image3d<bool> m = mask;
  frame.LabelFromMask(m);
  EXPECT_EQ(trel::testing::BarValues(frame), (std::vector<unsigned short>{0, 1, 0, 0, 2, 3, 4, 0}));
  ExpectFirstFrameTracks(frame, 4);
  LabelFrame wide(Dimension::k2D, 0, 0, trel::testing::kBorderImageSize + 1);
  m = mask;
  wide.LabelFromMask(m);
  EXPECT_EQ(wide.last_label, 0);
  EXPECT_TRUE(wide.tracks.empty());
}

TEST(LabelFromMask, FirstAndLastSlicesAreNotABorder) {
  LabelFrame frame(Dimension::k3D, 0, 0, 2);
  const Rows none = {"....", "....", "...."};
  EXPECT_EQ(Labelled(frame, Stack({{"....", ".1..", "...."}, none, {"....", "..1.", "...."}})),
            Stack({{"....", ".1..", "...."}, none, {"....", "..2.", "...."}}));
}

TEST(LabelFromMask, EmptyMaskGivesAnEmptyFrameOfItsGeometry) {
  Image3d<bool> mask = Draw<bool>({"...", "..."});
  mask.SetResolution(voxa::Resolution({2.0f, 3.0f, 4.0f}));
  mask.SetOffset({5.0f, 6.0f, 7.0f});
  mask.SetDescription({{"source", "test"}});
  LabelFrame frame(Dimension::k2D, 0, 0, 0);
  frame.LabelFromMask(mask);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"...", "..."}));
  EXPECT_EQ(frame.last_label, 0);
  EXPECT_TRUE(frame.tracks.empty());
  EXPECT_EQ(frame.GetResolution().GetRes(), (voxa::Vector3d<float>{2.0f, 3.0f, 4.0f}));
  EXPECT_EQ(frame.GetOffset(), (voxa::Vector3d<float>{5.0f, 6.0f, 7.0f}));
  EXPECT_EQ(frame.GetDescription().at("source"), "test");
}

}  // namespace
