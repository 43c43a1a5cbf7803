// The lineage derived from masks: first and last frame of every label, no parents.
#include "mask_lineage.h"

#include <gtest/gtest.h>

#include "label_image.h"
#include "support/test_support.h"
#include "track_file.h"

namespace {

using trel::testing::Draw;
using trel::testing::ScratchDir;
namespace tool = trel::tool;

TEST(MaskLineage, TracksRunFromFirstToLastMask) {
  ScratchDir dir;
  tool::WriteLabelImage(dir / "mask000.tif", Draw<unsigned short>({"11.2", "...2"}));
  tool::WriteLabelImage(dir / "mask001.tif", Draw<unsigned short>({"11..", "..33"}));
  tool::WriteLabelImage(dir / "mask002.tif", Draw<unsigned short>({"....", "..33"}));
  tool::WriteLineageFromMasks(dir.path(), 3);
  const std::vector<tool::TrackLine> tracks = tool::ReadTrackFile(dir / "res_track.txt");
  ASSERT_EQ(tracks.size(), 3u);
  const uint64_t expected[3][4] = {{1, 0, 1, 0}, {2, 0, 0, 0}, {3, 1, 2, 0}};
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(tracks[k].label, expected[k][0]);
    EXPECT_EQ(tracks[k].begin, expected[k][1]);
    EXPECT_EQ(tracks[k].end, expected[k][2]);
    EXPECT_EQ(tracks[k].parent, expected[k][3]);
  }
}

}  // namespace
