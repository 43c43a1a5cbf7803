// Divisions split out of carried labels: hand-drawn masks where a label breaks into pieces, with
// the rewritten masks and the lineage written out in full. Every mask gets a hard link, so a mask
// left alone (still the linked file) is told from a rewritten one (a new file under its name).
#include "mask_lineage.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>

#include "frame_files.h"
#include "label_image.h"
#include "result_check.h"
#include "support/test_support.h"
#include "tool_error.h"
#include "track_file.h"

namespace {

using trel::testing::Draw;
using trel::testing::Picture;
using trel::testing::ScratchDir;
namespace tool = trel::tool;
using Drawing = std::vector<std::string>;
using Track = std::array<uint64_t, 4>;  // label, begin, end, parent

std::filesystem::path MaskFile(const ScratchDir& dir, uint64_t t) {
  return tool::FrameFiles(dir.path(), "mask").Name(t);
}

std::filesystem::path LinkFile(const ScratchDir& dir, uint64_t t) {
  return tool::FrameFiles(dir.path(), "link").Name(t);
}

void WriteMasks(const ScratchDir& dir, const std::vector<Drawing>& frames) {
  for (size_t t = 0; t < frames.size(); ++t) {
    tool::WriteLabelImage(MaskFile(dir, t), Draw<unsigned short>(frames[t]));
    std::filesystem::create_hard_link(MaskFile(dir, t), LinkFile(dir, t));
  }
}

// Splits the drawn masks and checks that the result passes the rules of `trel validate`.
void Split(const ScratchDir& dir, const std::vector<Drawing>& frames, uint64_t min_size) {
  WriteMasks(dir, frames);
  tool::SplitDivisionsAndWriteLineage(dir.path(), frames.size(), min_size);
  for (const tool::Violation& v : tool::CheckResultFolder(dir.path(), {}))
    ADD_FAILURE() << tool::FormatViolation(v);
}

std::vector<Track> Lineage(const ScratchDir& dir) {
  std::vector<Track> tracks;
  for (const tool::TrackLine& t : tool::ReadTrackFile(dir / "res_track.txt"))
    tracks.push_back({t.label, t.begin, t.end, t.parent});
  return tracks;
}

Drawing Mask(const ScratchDir& dir, uint64_t t) {
  tool::LabelImage mask;
  tool::ReadLabelImage(MaskFile(dir, t), mask);
  return Picture(mask);
}

bool Untouched(const ScratchDir& dir, uint64_t t) {
  return std::filesystem::equivalent(MaskFile(dir, t), LinkFile(dir, t));
}

TEST(MaskLineage, ALabelThatNeverDividesKeepsItsLabelAndItsFile) {
  ScratchDir dir;
  Split(dir, {{"11.2", "...2"}, {"11..", "..33"}, {"....", "..33"}}, 1);
  EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 1, 0}, {2, 0, 0, 0}, {3, 1, 2, 0}}));
  for (uint64_t t = 0; t < 3; ++t) EXPECT_TRUE(Untouched(dir, t)) << "frame " << t;
}

TEST(MaskLineage, ALabelInTwoPiecesDividesAndTheDaughtersKeepTheirLabels) {
  ScratchDir dir;
  Split(dir, {{"111111", "111111"}, {"11..11", "11..11"}, {".11.11", ".11.11"}}, 2);
  EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 0, 0}, {2, 1, 2, 1}, {3, 1, 2, 1}}));
  EXPECT_TRUE(Untouched(dir, 0));
  EXPECT_FALSE(Untouched(dir, 1));
  EXPECT_EQ(Mask(dir, 1), (Drawing{"22..33", "22..33"}));
  EXPECT_EQ(Mask(dir, 2), (Drawing{".22.33", ".22.33"}));
}

TEST(MaskLineage, DaughtersStillJoinedByANarrowNeckAreCutApart) {
  // Frame 0: one round cell; frame 1: two round daughters that still touch along a narrow neck,
  // one label over both, as the carried labels leave them.
  ScratchDir dir;
  const auto cells = [](double gap) {
    tool::LabelImage mask;
    mask.MakeRoom(48, 24, 1);
    for (uint64_t y = 0; y < 24; ++y)
      for (uint64_t x = 0; x < 48; ++x)
        mask.SetVoxel(
            x, y, 0,
            std::hypot(x - 12.0, y - 12.0) <= 7 || std::hypot(x - 12.0 - gap, y - 12.0) <= 7 ? 1
                                                                                             : 0);
    return mask;
  };
  tool::WriteLabelImage(MaskFile(dir, 0), cells(0));
  tool::WriteLabelImage(MaskFile(dir, 1), cells(13));
  tool::SplitDivisionsAndWriteLineage(dir.path(), 2, 20);
  for (const tool::Violation& v : tool::CheckResultFolder(dir.path(), {}))
    ADD_FAILURE() << tool::FormatViolation(v);
  EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 0, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}));
  tool::LabelImage mask;
  tool::ReadLabelImage(MaskFile(dir, 1), mask);
  EXPECT_EQ(mask.GetVoxel(12, 12, 0), 2);  // the left daughter's centre
  EXPECT_EQ(mask.GetVoxel(25, 12, 0), 3);  // the right daughter's centre
}

TEST(MaskLineage, ASmallFragmentIsNoDivisionAndFollowsTheLargestPiece) {
  ScratchDir dir;
  // Frame 2: the right piece overlaps nothing, so it joins the label's only track and divides
  // it; the fragment goes with the larger daughter.
  Split(dir,
        {{"111...", "111...", "......", "......"},
         {"111...", "111...", "......", ".....1"},
         {"111.11", "111.11", "......", ".....1"}},
        3);
  EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 1, 0}, {2, 2, 2, 1}, {3, 2, 2, 1}}));
  EXPECT_TRUE(Untouched(dir, 1));
  EXPECT_EQ(Mask(dir, 2), (Drawing{"222.33", "222.33", "......", ".....2"}));
}

TEST(MaskLineage, DaughtersThatTouchAgainGoOnAsTheOneWithTheLargerOverlap) {
  ScratchDir dir;
  const Drawing apart = {"111.111", "11...11"};
  Split(dir, {{"1111111", "1111111"}, apart, apart, apart, {"1111...", "1111111"}}, 2);
  EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 0, 0}, {2, 1, 4, 1}, {3, 1, 3, 1}}));
  EXPECT_EQ(Mask(dir, 1), (Drawing{"222.333", "22...33"}));
  EXPECT_EQ(Mask(dir, 4), (Drawing{"2222...", "2222222"}));
}

TEST(MaskLineage, EqualOverlapsGoToTheLowerLabelAndNoOverlapToTheLargerTrack) {
  {
    ScratchDir dir;
    Split(dir, {{"1111"}, {"1..1"}, {"1..1"}, {"1..1"}, {"1111"}}, 1);
    EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 0, 0}, {2, 1, 4, 1}, {3, 1, 3, 1}}));
    EXPECT_EQ(Mask(dir, 4), (Drawing{"2222"}));
  }
  {
    ScratchDir dir;
    Split(dir, {{"111111"}, {"1..111"}, {"1..111"}, {"1..111"}, {".11..."}}, 1);
    EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 0, 0}, {2, 1, 3, 1}, {3, 1, 4, 1}}));
    EXPECT_EQ(Mask(dir, 4), (Drawing{".33..."}));
  }
}

TEST(MaskLineage, DaughtersThatDoNotLastThreeFramesAreNoDivision) {
  ScratchDir dir;
  // Frame 1: a piece parts from the cell for one frame; frames 3 to 4: the cell is in two
  // pieces for two frames, which the last frame ends too early to tell, so that one counts.
  Split(dir,
        {{"1111..", "1111.."},
         {"1111.1", "1111.1"},
         {"1111..", "1111.."},
         {"11..11", "11..11"},
         {"11..11", "11..11"}},
        2);
  EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 2, 0}, {2, 3, 4, 1}, {3, 3, 4, 1}}));
  EXPECT_TRUE(Untouched(dir, 1));
  EXPECT_EQ(Mask(dir, 3), (Drawing{"22..33", "22..33"}));
}

TEST(MaskLineage, InAStackPiecesTouchingAtACornerAreOneCell) {
  ScratchDir dir;
  // Label 1 touches itself only corner to corner across the slices (26-connected); the two
  // pieces of label 2 are apart.
  Split(dir,
        {{"11.2", "11.2", "....", "", "....", "....", "...."},
         {"1..2", "....", "....", "", "....", ".1..", "...2"}},
        1);
  EXPECT_EQ(Lineage(dir),
            (std::vector<Track>{{1, 0, 1, 0}, {2, 0, 0, 0}, {3, 1, 1, 2}, {4, 1, 1, 2}}));
  EXPECT_EQ(Mask(dir, 1), (Drawing{"1..3", "....", "....", "", "....", ".1..", "...4"}));
}

TEST(MaskLineage, EdgeCases) {
  {  // diagonal neighbours in a slice are one piece (8-connected)
    ScratchDir dir;
    Split(dir, {{"1.", ".1"}, {"1.", ".1"}}, 1);
    EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 1, 0}}));
  }
  {  // no piece large enough: all pieces are one cell
    ScratchDir dir;
    Split(dir, {{"11.."}, {"1..1"}}, 5);
    EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 1, 0}}));
    EXPECT_TRUE(Untouched(dir, 1));
  }
  {  // a label born in two pieces: the larger keeps the label, the other is a new cell
    ScratchDir dir;
    Split(dir, {{"1.11"}}, 1);
    EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 0, 0}, {2, 0, 0, 0}}));
    EXPECT_EQ(Mask(dir, 0), (Drawing{"2.11"}));
  }
  {  // a label back after a gap starts a new track
    ScratchDir dir;
    Split(dir, {{"1.2"}, {"..2"}, {"1.2"}}, 1);
    EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 0, 0, 0}, {2, 0, 2, 0}, {3, 2, 2, 0}}));
    EXPECT_EQ(Mask(dir, 2), (Drawing{"3.2"}));
  }
  {  // empty frames
    ScratchDir dir;
    Split(dir, {{".."}, {"1."}, {".."}}, 1);
    EXPECT_EQ(Lineage(dir), (std::vector<Track>{{1, 1, 1, 0}}));
  }
}

void ExpectFailure(const ScratchDir& dir, uint64_t frames, tool::ExitCode code,
                   const std::string& text) {
  try {
    tool::SplitDivisionsAndWriteLineage(dir.path(), frames, 1);
    ADD_FAILURE() << "no failure";
  } catch (const tool::ToolError& e) {
    EXPECT_EQ(e.code(), code);
    EXPECT_EQ(std::string(e.what()), text);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "res_track.txt"));
}

TEST(MaskLineage, RunningOutOfLabelsAndMasksOfTwoSizesAreReported) {
  ScratchDir dir;
  tool::LabelImage first = Draw<unsigned short>({"11.", "11."});
  first.SetVoxel(2, 1, 0, 65535);
  tool::WriteLabelImage(dir / "mask000.tif", first);
  tool::WriteLabelImage(dir / "mask001.tif", Draw<unsigned short>({"1.1", "1.1"}));
  std::ofstream(dir / "res_track.txt") << "1 0 1 0\n";  // an earlier run's, now out of date
  ExpectFailure(dir, 2, tool::kExitDataError,
                "the divisions in " + dir.path().string() +
                    " need more than 65535 labels, the most a 16-bit mask holds");
  tool::WriteLabelImage(dir / "mask001.tif", Draw<unsigned short>({"1.1.", "1.1."}));
  ExpectFailure(dir, 2, tool::kExitDataError,
                dir / "mask001.tif" + " is 4x2, but the first mask is 3x2");
}

}  // namespace
