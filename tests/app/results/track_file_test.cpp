// The lineage file: parsing of good, blank and malformed lines, and a write-read round trip.
#include "track_file.h"

#include <gtest/gtest.h>

#include "app/tool_fixture.h"
#include "support/test_support.h"
#include "tool_error.h"

namespace trel::tool {
namespace {

using trel::testing::ScratchDir;

TEST(TrackFileTest, ReadsLinesWithTheirNumbers) {
  ScratchDir dir;
  testing::WriteText(dir.path() / "t.txt", "1 0 4 0\n\n  2\t5 9 1 \r\n3 5 5 1");
  const std::vector<TrackLine> tracks = ReadTrackFile(dir.path() / "t.txt");
  ASSERT_EQ(tracks.size(), 3u);
  EXPECT_EQ(tracks[1].label, 2u);
  EXPECT_EQ(tracks[1].begin, 5u);
  EXPECT_EQ(tracks[1].end, 9u);
  EXPECT_EQ(tracks[1].parent, 1u);
  EXPECT_EQ(tracks[1].line, 3u);
  EXPECT_EQ(tracks[2].line, 4u);
}

TEST(TrackFileTest, RefusesMalformedLines) {
  ScratchDir dir;
  for (const std::string bad :
       {"1 0 4", "1 0 4 0 7", "1 -2 4 0", "1 0 4 0x", "a b c d", "1 0 99999999999999999999 0"}) {
    testing::WriteText(dir.path() / "t.txt", "5 0 0 0\n" + bad + "\n");
    try {
      ReadTrackFile(dir.path() / "t.txt");
      ADD_FAILURE() << bad;
    } catch (const ToolError& e) {
      EXPECT_EQ(e.code(), kExitDataError);
      EXPECT_EQ(std::string(e.what()), (dir.path() / "t.txt").string() +
                                           " line 2: expected four non-negative integers "
                                           "'L B E P', found '" +
                                           bad + "'");
    }
  }
}

TEST(TrackFileTest, MissingFile) {
  ScratchDir dir;
  try {
    ReadTrackFile(dir.path() / "none.txt");
    ADD_FAILURE();
  } catch (const ToolError& e) {
    EXPECT_EQ(e.code(), kExitNoInput);
    EXPECT_EQ(std::string(e.what()), "cannot read " + dir / "none.txt" + " (no such file)");
  }
}

TEST(TrackFileTest, RoundTrip) {
  ScratchDir dir;
  const std::vector<TrackLine> tracks = {{1, 0, 4, 0, 0}, {65535, 5, 9, 1, 0}};
  WriteTrackFile(dir.path() / "t.txt", tracks);
  const std::vector<TrackLine> back = ReadTrackFile(dir.path() / "t.txt");
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].label, 65535u);
  EXPECT_EQ(back[1].parent, 1u);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "t.txt.part"));
  try {
    WriteTrackFile(dir.path() / "no" / "t.txt", tracks);
    ADD_FAILURE();
  } catch (const ToolError& e) {
    EXPECT_EQ(e.code(), kExitCannotCreate);
  }
}

}  // namespace
}  // namespace trel::tool
