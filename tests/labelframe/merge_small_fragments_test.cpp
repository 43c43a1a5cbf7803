// Small-fragment merge: the volume bound at its limit, the neighbour order and the raster scan
// that break ties, face-only contact, merges that read earlier merges, and the switch-off at 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "labelframe/differing_neighbour_label.h"
#include "labelframe/frame_builder.h"
#include "labelframe/label_frame.h"
#include "support/test_support.h"

namespace {

using trel::DifferingNeighbourLabel;
using trel::Dimension;
using trel::LabelFrame;
using trel::testing::Draw;
using trel::testing::DrawnFrame;
using trel::testing::Picture;
using trel::testing::Stack;
using Rows = std::vector<std::string>;

Rows Merged(Dimension dimension, const Rows& rows, uint64_t overlap) {
  LabelFrame frame = DrawnFrame(dimension, rows, {.overlap = overlap});
  const uint16_t last = frame.last_label;
  frame.MergeSmallFragments();
  EXPECT_EQ(frame.last_label, last);
  return Picture<unsigned short>(frame);
}

// A 3 x 3 x 3 stack whose centre holds 1, with its six face neighbours given in the order
// -x, +x, -y, +y, -z, +z.
voxa::Image3d<unsigned short> Centre(const std::string& n) {
  return Draw<unsigned short>(
      Stack({{"...", std::string(".") + n[4] + ".", "..."},
             {std::string(".") + n[2] + ".", std::string() + n[0] + "1" + n[1],
              std::string(".") + n[3] + "."},
             {"...", std::string(".") + n[5] + ".", "..."}}));
}

TEST(DifferingNeighbourLabel, FaceNeighboursAnswerInTheOrderMinusXPlusXMinusYPlusYMinusZPlusZ) {
  EXPECT_EQ(DifferingNeighbourLabel(Centre("235476"), 1, 1, 1), 2);
  EXPECT_EQ(DifferingNeighbourLabel(Centre(".35476"), 1, 1, 1), 3);
  EXPECT_EQ(DifferingNeighbourLabel(Centre("..5476"), 1, 1, 1), 5);
  EXPECT_EQ(DifferingNeighbourLabel(Centre("...476"), 1, 1, 1), 4);
  EXPECT_EQ(DifferingNeighbourLabel(Centre("....76"), 1, 1, 1), 7);
  EXPECT_EQ(DifferingNeighbourLabel(Centre(".....6"), 1, 1, 1), 6);
  EXPECT_EQ(DifferingNeighbourLabel(Centre("......"), 1, 1, 1), 1);
  // Neighbours holding the voxel's own label do not count.
  EXPECT_EQ(DifferingNeighbourLabel(Centre("115476"), 1, 1, 1), 5);
  EXPECT_EQ(DifferingNeighbourLabel(Centre("111111"), 1, 1, 1), 1);
}

TEST(DifferingNeighbourLabel, NeighboursOutsideTheImageAreSkipped) {
  const voxa::Image3d<unsigned short> image = Draw<unsigned short>({"12", "34"});
  EXPECT_EQ(DifferingNeighbourLabel(image, 0, 0, 0), 2);
  EXPECT_EQ(DifferingNeighbourLabel(image, 1, 0, 0), 1);
  EXPECT_EQ(DifferingNeighbourLabel(image, 1, 1, 0), 3);
  EXPECT_EQ(DifferingNeighbourLabel(Draw<unsigned short>({"5"}), 0, 0, 0), 5);
  // Diagonal neighbours never answer.
  EXPECT_EQ(DifferingNeighbourLabel(Draw<unsigned short>({"1.", ".2"}), 0, 0, 0), 1);
}

TEST(MergeSmallFragments, FragmentsUpToTheOverlapVolumeJoinTheirNeighbour) {
  // overlap 3 in 2D: at most 9 voxels.
  EXPECT_EQ(Merged(Dimension::k2D, {"4444777.", "4444777.", "4444777."}, 3),
            (Rows{"4444444.", "4444444.", "4444444."}));
  EXPECT_EQ(Merged(Dimension::k2D, {"44447777", "44447777", "44447777"}, 3),
            (Rows{"44447777", "44447777", "44447777"}));
  // 9 voxels in another shape, then 10.
  EXPECT_EQ(Merged(Dimension::k2D, {"44447777", "44447777", "4444.7..", "4444...."}, 3),
            (Rows{"44444444", "44444444", "4444.4..", "4444...."}));
  EXPECT_EQ(Merged(Dimension::k2D, {"44447777", "44447777", "4444.77.", "4444...."}, 3),
            (Rows{"44447777", "44447777", "4444.77.", "4444...."}));
}

TEST(MergeSmallFragments, IsolatedOrDiagonalFragmentsStay) {
  EXPECT_EQ(Merged(Dimension::k2D, {"44....", "44..7.", "......"}, 2),
            (Rows{"44....", "44..7.", "......"}));
  EXPECT_EQ(Merged(Dimension::k2D, {"4444.", "4444.", "....7"}, 1),
            (Rows{"4444.", "4444.", "....7"}));
}

TEST(MergeSmallFragments, TiesGoToTheFirstVoxelAndTheFirstNeighbourDirection) {
  // The fragment's only voxel has label 4 at -x and label 9 at +y: -x comes first.
  EXPECT_EQ(Merged(Dimension::k2D, {"44......", "447.....", "..9.....", "..99...."}, 1),
            (Rows{"44......", "444.....", "..9.....", "..99...."}));
  // The first voxel touches 9 (+y), only the second touches 4 (+x): 9 wins.
  EXPECT_EQ(Merged(Dimension::k2D, {"....444", "..77444", "..9....", "..9999."}, 2),
            (Rows{"....444", "..99444", "..9....", "..9999."}));
}

TEST(MergeSmallFragments, LaterFragmentsSeeEarlierMerges) {
  // 5 joins 6 below it; the grown 6 then joins 7, flooding both voxels; 7 has nothing left.
  EXPECT_EQ(Merged(Dimension::k2D, {"5.....", "67...."}, 1), (Rows{"7.....", "77...."}));
}

TEST(MergeSmallFragments, StacksMergeAcrossSlices) {
  EXPECT_EQ(Merged(Dimension::k3D, Stack({{"44", "44"}, {"7.", ".."}}), 1),
            Stack({{"44", "44"}, {"4.", ".."}}));
  // overlap 2 in 3D: at most 8 voxels.
  const Rows base = {"4444", "4444", "4444"}, quad = {"77..", "77..", "...."};
  EXPECT_EQ(Merged(Dimension::k3D, Stack({base, quad, quad}), 2),
            Stack({base, {"44..", "44..", "...."}, {"44..", "44..", "...."}}));
  const Rows five = {"777.", "77..", "...."};
  EXPECT_EQ(Merged(Dimension::k3D, Stack({base, five, quad}), 2), Stack({base, five, quad}));
}

TEST(MergeSmallFragments, OverlapZeroChangesNothing) {
  EXPECT_EQ(Merged(Dimension::k2D, {"45", "67"}, 0), (Rows{"45", "67"}));
  // With overlap 1 every voxel is a fragment, and the merges cascade.
  EXPECT_EQ(Merged(Dimension::k2D, {"45", "67"}, 1), (Rows{"77", "77"}));
}

}  // namespace
