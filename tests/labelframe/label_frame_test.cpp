// The label frame object: construction by dimension, deep copies, the ordered track table and
// the label counter that refuses to wrap.
#include "labelframe/label_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "trel/error.h"

namespace {

using trel::Dimension;
using trel::LabelFrame;
using trel::TrackRecord;

TEST(LabelFrame, TwoDimensionalFramesUseEightAndFourConnectivityAndOverlapSquared) {
  const LabelFrame frame(Dimension::k2D, 12, 3, 5);
  EXPECT_TRUE(frame.IsEmpty());
  EXPECT_EQ(frame.last_label, 0);
  EXPECT_EQ(frame.label_nb, &voxa::nb2D_8);
  EXPECT_EQ(frame.fill_nb, &voxa::nb2D_4);
  EXPECT_EQ(frame.min_size, 12u);
  EXPECT_EQ(frame.overlap_volume, 9u);
  EXPECT_TRUE(frame.tracks.empty());
  EXPECT_EQ(frame.border, 5u);
}

TEST(LabelFrame, ThreeDimensionalFramesUseTwentySixAndSixConnectivityAndOverlapCubed) {
  const LabelFrame frame(Dimension::k3D, 0, 3, 0);
  EXPECT_EQ(frame.label_nb, &voxa::nb3D_26);
  EXPECT_EQ(frame.fill_nb, &voxa::nb3D_6);
  EXPECT_EQ(frame.overlap_volume, 27u);
  EXPECT_EQ(LabelFrame(Dimension::k3D, 0, 0, 0).overlap_volume, 0u);
  // Unsigned 64-bit arithmetic: 2^22 cubed wraps to 0.
  EXPECT_EQ(LabelFrame(Dimension::k3D, 0, uint64_t{1} << 22, 0).overlap_volume, 0u);
  EXPECT_EQ(trel::DimensionOf(1), Dimension::k2D);
  EXPECT_EQ(trel::DimensionOf(2), Dimension::k3D);
}

TEST(LabelFrame, DefaultTrackRecordIsUnset) {
  const TrackRecord record;
  EXPECT_EQ(record.label, 0);
  EXPECT_EQ(record.first_frame, UINT64_MAX);
  EXPECT_EQ(record.last_frame, UINT64_MAX);
  EXPECT_EQ(record.parent, 0);
}

TEST(LabelFrame, CopiesShareNothing) {
  LabelFrame source(Dimension::k2D, 4, 2, 1);
  source.MakeRoom(3, 2, 1);
  source.SetAllVoxels(7);
  source.last_label = 9;
  source.tracks[7] = {7, 0, 3, 2};
  LabelFrame copy(source);
  EXPECT_EQ(copy.GetSize(), source.GetSize());
  EXPECT_EQ(copy.GetVoxel(5), 7);
  EXPECT_EQ(copy.last_label, 9);
  EXPECT_EQ(copy.min_size, 4u);
  EXPECT_EQ(copy.overlap_volume, 4u);
  EXPECT_EQ(copy.border, 1u);
  ASSERT_EQ(copy.tracks.size(), 1u);
  copy.tracks[7].last_frame = 8;
  copy.SetVoxel(5, 1);
  EXPECT_EQ(source.tracks[7].last_frame, 3u);
  EXPECT_EQ(source.GetVoxel(5), 7);
}

TEST(LabelFrame, TrackTableIteratesInAscendingLabelOrder) {
  LabelFrame frame(Dimension::k2D, 0, 0, 0);
  for (uint16_t label : {40, 3, 65535, 17, 1}) frame.tracks[label] = {label, 0, 0, 0};
  std::vector<uint16_t> order;
  for (const auto& [label, record] : frame.tracks) order.push_back(label);
  EXPECT_EQ(order, (std::vector<uint16_t>{1, 3, 17, 40, 65535}));
}

TEST(LabelFrame, LabelCounterStopsInsteadOfWrapping) {
  LabelFrame frame(Dimension::k2D, 0, 0, 0);
  EXPECT_EQ(frame.IssueLabel(), 1);
  frame.last_label = 65534;
  EXPECT_EQ(frame.IssueLabel(), 65535);
  try {
    frame.IssueLabel();
    FAIL() << "label 65536 was issued";
  } catch (const trel::Error& e) {
    EXPECT_STREQ(e.what(), "No label left to issue! (A run issues at most 65535 labels)");
  }
  EXPECT_EQ(frame.last_label, 65535);
}

}  // namespace
