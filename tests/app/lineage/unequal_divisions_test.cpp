// Divisions into pieces of unlike size withdrawn, on a hand-drawn three-frame result folder.
#include "unequal_divisions.h"

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

TEST(UnequalDivisionsTest, APieceFarSmallerThanItsSisterIsNoDaughter) {
  // 1 parts into 2 (8 voxels) and the speck 3: 2 is 1 going on, 3 a track of its own. 4 parts
  // into the like halves 5 and 6, a division that stands.
  const Drawing after{"2222.5.6", "2222.5.6", "3......."};
  const std::vector<Drawing> frames{{"1111.44.", "1111.44.", "........"}, after, after};
  const ScratchDir dir;
  const tool::FrameFiles masks(dir.path(), "mask");
  for (size_t t = 0; t < frames.size(); ++t)
    tool::WriteLabelImage(masks.Name(t), Draw<unsigned short>(frames[t]));
  tool::WriteTrackFile(dir.path() / "res_track.txt", {{1, 0, 0, 0, 0},
                                                      {2, 1, 2, 1, 0},
                                                      {3, 1, 2, 1, 0},
                                                      {4, 0, 0, 0, 0},
                                                      {5, 1, 2, 4, 0},
                                                      {6, 1, 2, 4, 0}});

  tool::WithdrawUnequalDivisionsInFolder(dir.path(), frames.size());

  std::vector<Track> lineage;
  for (const tool::TrackLine& t : tool::ReadTrackFile(dir.path() / "res_track.txt"))
    lineage.push_back({t.label, t.begin, t.end, t.parent});
  EXPECT_EQ(lineage, (std::vector<Track>{
                         {1, 0, 2, 0}, {3, 1, 2, 0}, {4, 0, 0, 0}, {5, 1, 2, 4}, {6, 1, 2, 4}}));
  for (const uint64_t t : {1, 2}) {
    tool::LabelImage mask;
    tool::ReadLabelImage(masks.Name(t), mask);
    EXPECT_EQ(Picture(mask), (Drawing{"1111.5.6", "1111.5.6", "3......."}));
  }
}

}  // namespace
