// Frame-to-frame association on hand-drawn frames: continuation, divisions into two and three
// children with and without a parent record, new objects, erased labels, the size and border
// limits, painted holes (highest region paints last, holes next to erased regions), and
// properties that must hold after any call on random label images.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "labelframe/frame_builder.h"
#include "labelframe/label_frame.h"
#include "support/test_support.h"
#include "trel/error.h"
#include "voxa/hole_filling.h"

namespace {

using trel::Dimension;
using trel::LabelFrame;
using trel::TrackRecord;
using trel::testing::DrawnFrame;
using trel::testing::Picture;
using trel::testing::Stack;
using Rows = std::vector<std::string>;
using Tracks = std::map<uint16_t, TrackRecord>;

void ExpectTracks(const LabelFrame& frame, const std::vector<TrackRecord>& expected) {
  ASSERT_EQ(frame.tracks.size(), expected.size());
  for (const TrackRecord& e : expected) {
    ASSERT_EQ(frame.tracks.count(e.label), 1u) << "no record for label " << e.label;
    const TrackRecord& r = frame.tracks.at(e.label);
    EXPECT_EQ(r.label, e.label);
    EXPECT_EQ(r.first_frame, e.first_frame) << "label " << e.label;
    EXPECT_EQ(r.last_frame, e.last_frame) << "label " << e.label;
    EXPECT_EQ(r.parent, e.parent) << "label " << e.label;
  }
}

TEST(UpdateTracks, LabelsThatStayOneRegionContinue) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"11....", "11..22", "....22"});
  frame.tracks[1] = {1, 0, 3, 0};
  frame.tracks[2] = {2, 1, 3, 0};
  frame.UpdateTracks(4);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"11....", "11..22", "....22"}));
  EXPECT_EQ(frame.last_label, 2);
  ExpectTracks(frame, {{1, 0, 4, 0}, {2, 1, 4, 0}});
}

TEST(UpdateTracks, ALabelInTwoRegionsDividesIntoChildrenOfIt) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"11..11", "11..11", "......", "..22.."});
  frame.tracks[1] = {1, 0, 3, 0};
  frame.tracks[2] = {2, 1, 3, 0};
  frame.UpdateTracks(4);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"33..44", "33..44", "......", "..22.."}));
  EXPECT_EQ(frame.last_label, 4);
  ExpectTracks(frame, {{1, 0, 3, 0}, {2, 1, 4, 0}, {3, 4, 4, 1}, {4, 4, 4, 1}});
}

TEST(UpdateTracks, ThreeChildrenShareTheirParent) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"3.3", "...", "3.."});
  frame.last_label = 7;
  frame.tracks[3] = {3, 2, 5, 1};
  frame.UpdateTracks(6);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"8.9", "...", "a.."}));
  ExpectTracks(frame, {{3, 2, 5, 1}, {8, 6, 6, 3}, {9, 6, 6, 3}, {10, 6, 6, 3}});
}

TEST(UpdateTracks, ANewLabelInTwoRegionsGivesTwoChildrenWithoutParent) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"4..4"});
  frame.UpdateTracks(2);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"5..6"}));
  ExpectTracks(frame, {{5, 2, 2, 0}, {6, 2, 2, 0}});
}

TEST(UpdateTracks, ChildrenAreNumberedInRegionOrder) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"2..1", "....", "1..2"});
  frame.tracks[1] = {1, 0, 1, 0};
  frame.tracks[2] = {2, 0, 1, 0};
  frame.UpdateTracks(2);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"3..4", "....", "5..6"}));
  ExpectTracks(
      frame, {{1, 0, 1, 0}, {2, 0, 1, 0}, {3, 2, 2, 2}, {4, 2, 2, 1}, {5, 2, 2, 1}, {6, 2, 2, 2}});
}

TEST(UpdateTracks, NewObjectsOpenTracksOrDivideWithoutParent) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"5.6.6.6", "......."});
  frame.tracks[1] = {1, 0, 2, 0};
  frame.UpdateTracks(3);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"5.7.8.9", "......."}));
  EXPECT_EQ(frame.last_label, 9);
  ExpectTracks(frame, {{1, 0, 2, 0}, {5, 3, 3, 0}, {7, 3, 3, 0}, {8, 3, 3, 0}, {9, 3, 3, 0}});
}

TEST(UpdateTracks, RegionsBelowMinSizeAreErasedAtTheLimit) {
  LabelFrame frame =
      DrawnFrame(Dimension::k2D, {"11..2", "11..2", "....2", "3...."}, {.min_size = 4});
  frame.tracks[1] = {1, 0, 0, 0};
  frame.tracks[2] = {2, 0, 0, 0};
  frame.tracks[3] = {3, 0, 0, 0};
  frame.UpdateTracks(1);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"11...", "11...", ".....", "....."}));
  ExpectTracks(frame, {{1, 0, 1, 0}, {2, 0, 0, 0}, {3, 0, 0, 0}});
}

TEST(UpdateTracks, ErasedFragmentsDoNotMakeADivision) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"111.1", "111..", "111.."}, {.min_size = 2});
  frame.tracks[1] = {1, 0, 0, 0};
  frame.UpdateTracks(1);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"111..", "111..", "111.."}));
  EXPECT_EQ(frame.last_label, 1);
  ExpectTracks(frame, {{1, 0, 1, 0}});
}

TEST(UpdateTracks, RegionsInTheBorderMarginAreErased) {
  for (uint64_t border : {uint64_t{0}, uint64_t{1}, trel::testing::kBorderMargin}) {
    LabelFrame frame(Dimension::k2D, 0, 0, border);
    static_cast<voxa::Image3d<unsigned short>&>(frame) = trel::testing::BorderBars();
    frame.last_label = 8;
    for (uint16_t label = 1; label <= 8; ++label) frame.tracks[label] = {label, 0, 0, 0};
    frame.UpdateTracks(1);
    const bool all = border <= 1;
    EXPECT_EQ(trel::testing::BarValues(frame),
              (all ? std::vector<unsigned short>{1, 2, 3, 4, 5, 6, 7, 8}
                   : std::vector<unsigned short>{0, 2, 0, 0, 5, 6, 7, 0}));
    for (uint16_t label = 1; label <= 8; ++label) {
      const bool kept = all || label == 2 || label == 5 || label == 6 || label == 7;
      EXPECT_EQ(frame.tracks.at(label).last_frame, kept ? 1u : 0u) << "label " << label;
    }
  }
}

TEST(UpdateTracks, RingsAreFilledWithTheirLabel) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"......", ".1111.", ".1..1.", ".1111.", "......"});
  frame.tracks[1] = {1, 0, 0, 0};
  frame.UpdateTracks(1);
  EXPECT_EQ(Picture<unsigned short>(frame),
            (Rows{"......", ".1111.", ".1111.", ".1111.", "......"}));
}

TEST(UpdateTracks, HolesInSeveralBoxesTakeTheLabelOfTheHighestRegion) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"11111.", "1...2.", "1...2.", "12222."});
  frame.UpdateTracks(1);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"11111.", "12222.", "12222.", "12222."}));
}

TEST(UpdateTracks, HolesNextToErasedRegionsArePaintedAllTheSame) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"1111", "1..3", "1111"}, {.min_size = 3});
  frame.tracks[3] = {3, 0, 0, 0};
  frame.UpdateTracks(1);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"1111", "111.", "1111"}));
  ExpectTracks(frame, {{1, 1, 1, 0}, {3, 0, 0, 0}});
}

TEST(UpdateTracks, StacksArePaintedSliceBySlice) {
  // A tube along z: open in 3D, but a ring in every slice.
  const Rows ring = {".....", ".111.", ".1.1.", ".111.", "....."};
  const Rows disc = {".....", ".111.", ".111.", ".111.", "....."};
  LabelFrame frame = DrawnFrame(Dimension::k3D, Stack({ring, ring, ring}));
  frame.UpdateTracks(1);
  EXPECT_EQ(Picture<unsigned short>(frame), Stack({disc, disc, disc}));
  ExpectTracks(frame, {{1, 1, 1, 0}});
}

TEST(UpdateTracks, EmptyFramesLeaveTheTracksAlone) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"...", "..."});
  frame.last_label = 4;
  frame.tracks[4] = {4, 0, 2, 0};
  frame.UpdateTracks(3);
  EXPECT_EQ(Picture<unsigned short>(frame), (Rows{"...", "..."}));
  ExpectTracks(frame, {{4, 0, 2, 0}});
  EXPECT_EQ(frame.last_label, 4);
}

TEST(UpdateTracks, ADivisionPastTheLastLabelIsRefused) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"1.1"});
  frame.last_label = 65535;
  try {
    frame.UpdateTracks(1);
    FAIL() << "label 65536 was issued";
  } catch (const trel::Error& e) {
    EXPECT_STREQ(e.what(), "No label left to issue! (A run issues at most 65535 labels)");
  }
}

TEST(UpdateTracks, LabelsAboveTheLastIssuedAreRefused) {
  LabelFrame frame = DrawnFrame(Dimension::k2D, {"1.7"});
  frame.last_label = 5;
  try {
    frame.UpdateTracks(2);
    FAIL() << "label 7 accepted with last_label 5";
  } catch (const trel::Error& e) {
    EXPECT_STREQ(e.what(),
                 "Frame i=2: The label image holds label 7, above the last issued label 5!");
  }
}

// Random label images: rectangles of a few labels, some drawn twice so that they divide.
LabelFrame RandomFrame(std::mt19937& rng, Dimension dimension) {
  const uint64_t X = 40, Y = 30, Z = dimension == Dimension::k2D ? 1 : 4;
  LabelFrame frame(dimension, 6, 0, 3);
  frame.MakeRoom(X, Y, Z);
  frame.SetAllVoxels(0);
  frame.last_label = 25;
  std::uniform_int_distribution<uint64_t> x(0, X - 1), y(0, Y - 1), z(0, Z - 1), side(1, 7);
  std::uniform_int_distribution<int> label(1, 25);
  for (int k = 0; k < 30; ++k) {
    const uint64_t x0 = x(rng), y0 = y(rng), z0 = z(rng), w = side(rng), h = side(rng);
    const auto value = static_cast<unsigned short>(label(rng));
    for (uint64_t yy = y0; yy < std::min(Y, y0 + h); ++yy)
      for (uint64_t xx = x0; xx < std::min(X, x0 + w); ++xx) frame.SetVoxel(xx, yy, z0, value);
  }
  for (uint16_t l = 1; l <= 25; l += 2) frame.tracks[l] = {l, 0, 4, 0};
  return frame;
}

TEST(UpdateTracks, PropertiesHoldOnRandomLabelImages) {
  std::mt19937 rng(2024);
  for (int run = 0; run < 40; ++run) {
    const Dimension dimension = run % 2 ? Dimension::k3D : Dimension::k2D;
    LabelFrame frame = RandomFrame(rng, dimension);
    const Tracks before = frame.tracks;
    voxa::Image3d<bool> filled, slice;
    filled.MakeRoom(frame.GetSizeX(), frame.GetSizeY(), frame.GetSizeZ());
    for (uint64_t k = 0; k < frame.GetImageSize(); ++k) filled.SetVoxel(k, frame.GetVoxel(k) != 0);
    for (uint64_t z = 0; z < filled.GetSizeZ(); ++z) {
      filled.GetSliceZ(slice, z);
      voxa::BinFillHoles(slice, voxa::nb2D_4);
      filled.SetSliceZ(slice, z);
    }
    frame.UpdateTracks(5);
    std::set<uint16_t> present;
    for (uint64_t k = 0; k < frame.GetImageSize(); ++k) {
      const uint16_t v = frame.GetVoxel(k);
      if (!v) continue;
      present.insert(v);
      ASSERT_LE(v, frame.last_label);
      ASSERT_TRUE(filled.GetVoxel(k)) << "a voxel outside the filled labels was painted";
    }
    for (const uint16_t label : present) {
      ASSERT_EQ(frame.tracks.count(label), 1u) << "label " << label << " has no record";
      EXPECT_EQ(frame.tracks.at(label).last_frame, 5u);
    }
    for (const auto& [label, record] : frame.tracks) {
      EXPECT_EQ(record.label, label);
      EXPECT_LE(record.first_frame, record.last_frame);
      EXPECT_LE(label, frame.last_label);
      if (record.parent) {
        EXPECT_LT(record.parent, label);
        EXPECT_EQ(record.first_frame, 5u);
      }
      if (!present.count(label)) {
        ASSERT_EQ(before.count(label), 1u) << "a record was opened for an absent label";
        EXPECT_EQ(record.last_frame, before.at(label).last_frame);
      }
    }
  }
}

}  // namespace
