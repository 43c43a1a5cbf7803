// Frame file names with three or four digits, frame counting, and SEG folder listing.
#include "frame_files.h"

#include <gtest/gtest.h>

#include "app/tool_fixture.h"
#include "support/test_support.h"

namespace trel::tool {
namespace {

using trel::testing::ScratchDir;

TEST(FrameFilesTest, NamesAndCountsConsecutiveFrames) {
  ScratchDir dir;
  const FrameFiles files(dir.path(), "mask");
  EXPECT_EQ(files.Name(7), dir.path() / "mask007.tif");
  EXPECT_EQ(files.Name(1234), dir.path() / "mask1234.tif");
  EXPECT_EQ(files.CountFrames(), 0u);
  for (const char* name : {"mask000.tif", "mask001.tif", "mask002.tif", "mask004.tif"})
    testing::WriteText(dir.path() / name, "");
  EXPECT_EQ(FrameFiles(dir.path(), "mask").CountFrames(), 3u);
}

TEST(FrameFilesTest, FourDigitsWhenFrameZeroHasFour) {
  ScratchDir dir;
  testing::WriteText(dir.path() / "t0000.tif", "");
  testing::WriteText(dir.path() / "t0001.tif", "");
  const FrameFiles files(dir.path(), "t");
  EXPECT_EQ(files.Name(5), dir.path() / "t0005.tif");
  EXPECT_EQ(files.CountFrames(), 2u);
}

TEST(FrameFilesTest, ListsSegFilesInOrderAndIgnoresOthers) {
  ScratchDir dir;
  for (const char* name : {"man_seg010.tif", "man_seg_002_011.tif", "man_seg002.tif",
                           "man_seg_002_003.tif", "man_seg.tif", "man_seg12a.tif", "man_seg_1_.tif",
                           "man_seg-1.tif", "man_track000.tif", "man_seg003.tiff", "man_seg+4.tif"})
    testing::WriteText(dir.path() / name, "");
  const std::vector<SegFile> files = ListSegFiles(dir.path());
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0].path.filename(), "man_seg002.tif");
  EXPECT_FALSE(files[0].single_slice);
  EXPECT_EQ(files[1].path.filename(), "man_seg_002_003.tif");
  EXPECT_TRUE(files[1].single_slice);
  EXPECT_EQ(files[1].frame, 2u);
  EXPECT_EQ(files[1].slice, 3u);
  EXPECT_EQ(files[2].slice, 11u);
  EXPECT_EQ(files[3].frame, 10u);
  EXPECT_TRUE(ListSegFiles(dir.path() / "absent").empty());
}

TEST(FrameFilesTest, Layouts) {
  const GroundTruthLayout gt("/d/01_GT");
  EXPECT_EQ(gt.track_file, "/d/01_GT/TRA/man_track.txt");
  EXPECT_EQ(gt.markers.Name(3), "/d/01_GT/TRA/man_track003.tif");
  EXPECT_EQ(gt.seg_folder, "/d/01_GT/SEG");
  const ResultLayout res("/r");
  EXPECT_EQ(res.track_file, "/r/res_track.txt");
  EXPECT_EQ(res.masks.Name(12), "/r/mask012.tif");
}

}  // namespace
}  // namespace trel::tool
