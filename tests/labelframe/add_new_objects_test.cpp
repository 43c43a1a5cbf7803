// New objects: fresh labels for mask regions that meet no label, all or nothing per region,
// min_size at its limit, holes filled in 3D as a whole, and the counter that refuses to wrap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "labelframe/frame_builder.h"
#include "labelframe/label_frame.h"
#include "support/test_support.h"
#include "trel/error.h"

namespace {

using trel::Dimension;
using trel::LabelFrame;
using trel::testing::DrawnFrame;
using trel::testing::Picture;
using trel::testing::Stack;
using voxa::Image3d;
using Rows = std::vector<std::string>;

Rows Added(LabelFrame& frame, const Rows& mask_rows) {
  Image3d<bool> mask = trel::testing::Draw<bool>(mask_rows);
  frame.AddNewObjects(mask);
  return Picture<unsigned short>(frame);
}

TEST(AddNewObjects, RegionsMeetingNoLabelGetConsecutiveFreshLabels) {
  LabelFrame frame =
      DrawnFrame(Dimension::k2D, {"2.......", "........", "........", "........", "........"},
                 {.min_size = 3});
  frame.last_label = 4;
  frame.tracks[2] = {2, 0, 0, 0};
  // Regions in order: one overlapping label 2 in a single voxel (rejected whole), one of five
  // voxels, one of exactly min_size, one below it.
  EXPECT_EQ(Added(frame, {"11...11.", "11...11.", "......1.", "1.......", "11...11."}),
            (Rows{"2....55.", ".....55.", "......5.", "6.......", "66......"}));
  EXPECT_EQ(frame.last_label, 6);
  EXPECT_EQ(frame.tracks.size(), 1u) << "no track is opened for new objects";
}

TEST(AddNewObjects, ObjectsOverlappingALabelAddNothing) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"....", "..3.", "...."});
  EXPECT_EQ(Added(frame, {"1111", "1111", "1111"}), (Rows{"....", "..3.", "...."}));
  EXPECT_EQ(frame.last_label, 3);
}

TEST(AddNewObjects, HolesAreFilledInThreeDimensionsBeforeLabelling) {
  const Rows ring = {".....", ".111.", ".1.1.", ".111.", "....."};
  const Rows disc = {".....", ".111.", ".111.", ".111.", "....."};
  const Rows none = {".....", ".....", ".....", ".....", "....."};
  const Rows four = {".....", ".444.", ".444.", ".444.", "....."};
  const Rows ring4 = {".....", ".444.", ".4.4.", ".444.", "....."};
  // A closed box: its cavity is filled, so the region has 27 voxels.
  LabelFrame box =
      DrawnFrame(Dimension::k3D, Stack({none, none, none, none, none}), {.min_size = 27});
  box.last_label = 3;
  EXPECT_EQ(Added(box, Stack({disc, ring, disc, none, none})),
            Stack({four, four, four, none, none}));
  // A cup, open at the top: a hole in its slice, but not in 3D.
  LabelFrame cup = DrawnFrame(Dimension::k3D, Stack({none, none, none, none, none}));
  cup.last_label = 3;
  EXPECT_EQ(Added(cup, Stack({disc, ring, ring, none, none})),
            Stack({four, ring4, ring4, none, none}));
}

TEST(AddNewObjects, ALabelPastTheLastIsRefused) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"....."});
  frame.last_label = 65534;
  Image3d<bool> mask = trel::testing::Draw<bool>({"1.1.1"});
  try {
    frame.AddNewObjects(mask);
    FAIL() << "a third label was issued past 65534";
  } catch (const trel::Error& e) {
    EXPECT_STREQ(e.what(), "No label left to issue! (A run issues at most 65535 labels)");
  }
  EXPECT_EQ(frame.last_label, 65535);
  EXPECT_EQ(frame.GetVoxel(0), 65535);
  EXPECT_EQ(frame.GetVoxel(2), 0);
}

TEST(AddNewObjects, MaskOfAnotherSizeIsRefused) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"....", "...."});
  Image3d<bool> mask = trel::testing::Draw<bool>({"11.", "11."});
  try {
    frame.AddNewObjects(mask);
    FAIL() << "a mask of another size was accepted";
  } catch (const trel::Error& e) {
    EXPECT_STREQ(e.what(), "ImagePairIterator: Incompatible image size!");
  }
}

}  // namespace
