// Removal of objects seen for a frame or two, on a hand-drawn five-frame result folder.
#include "fleeting_tracks.h"

#include <gtest/gtest.h>

#include <array>

#include "frame_files.h"
#include "label_image.h"
#include "support/test_support.h"

namespace {

using trel::testing::Draw;
using trel::testing::Picture;
using trel::testing::ScratchDir;
namespace tool = trel::tool;
using Drawing = std::vector<std::string>;
using Track = std::array<uint64_t, 4>;  // label, begin, end, parent

TEST(FleetingTracksTest, OnlyShortLonersGo) {
  // 1 lasts the run; 2 flashes up in frame 2, 3 in frames 1-2, 4 at the right edge, 5 in the last
  // frame and 6 in the first (all go); 7 is 1's short-lived daughter (it stays).
  const std::vector<Drawing> frames{
      {"......", ".11...", ".11...", "...6..", "......", "......"},
      {"......", ".11...", ".11...", "......", "...3..", "......"},
      {"......", ".11..4", ".11...", "....2.", "...3..", "7....."},
      {"......", ".11...", ".11...", "......", "......", "......"},
      {"......", ".11...", ".11...", "......", "....5.", "......"},
  };
  const ScratchDir dir;
  const tool::FrameFiles masks(dir.path(), "mask");
  for (size_t t = 0; t < frames.size(); ++t)
    tool::WriteLabelImage(masks.Name(t), Draw<unsigned short>(frames[t]));
  const std::vector<tool::TrackLine> lineage{{1, 0, 4, 0, 0}, {2, 2, 2, 0, 0}, {3, 1, 2, 0, 0},
                                             {4, 2, 2, 0, 0}, {5, 4, 4, 0, 0}, {6, 0, 0, 0, 0},
                                             {7, 2, 2, 1, 0}};
  tool::WriteTrackFile(dir.path() / "res_track.txt", lineage);
  // Two frames cannot show whether anything lasts.
  EXPECT_EQ(tool::RemoveFleetingTracksInFolder(dir.path(), 2), 0u);

  EXPECT_EQ(tool::RemoveFleetingTracksInFolder(dir.path(), frames.size()), 5u);

  std::vector<Track> kept;
  for (const tool::TrackLine& t : tool::ReadTrackFile(dir.path() / "res_track.txt"))
    kept.push_back({t.label, t.begin, t.end, t.parent});
  EXPECT_EQ(kept, (std::vector<Track>{{1, 0, 4, 0}, {7, 2, 2, 1}}));
  tool::LabelImage mask;
  tool::ReadLabelImage(masks.Name(2), mask);
  EXPECT_EQ(Picture(mask), (Drawing{"......", ".11...", ".11...", "......", "......", "7....."}));
  for (const uint64_t t : {0, 1, 4}) {
    tool::ReadLabelImage(masks.Name(t), mask);
    EXPECT_EQ(Picture(mask), frames[3]) << t;  // as frame 3: only 1 is left
  }
}

}  // namespace
