// Checks of whole result folders: the rules that need the files (bit depth, sizes, frame count
// against the ground truth) and the failures for missing or malformed inputs.
#include "result_check.h"

#include <gtest/gtest.h>

#include "app/tool_fixture.h"
#include "support/test_support.h"
#include "tool_error.h"

namespace trel::tool {
namespace {

using testing::WriteResult;
using trel::testing::Draw;
using trel::testing::ScratchDir;

std::vector<std::string> Reports(const std::filesystem::path& res,
                                 const std::filesystem::path& gt = {}) {
  std::vector<std::string> text;
  for (const Violation& v : CheckResultFolder(res, gt)) text.push_back(FormatViolation(v));
  return text;
}

TEST(ResultCheckTest, ConsistentFolderPasses) {
  ScratchDir dir;
  WriteResult(dir.path(), {{"11.."}, {"11.2"}, {"...2"}}, "1 0 1 0\n2 1 2 0\n");
  EXPECT_TRUE(Reports(dir.path()).empty());
}

TEST(ResultCheckTest, PresenceIsCheckedInEveryFrame) {
  ScratchDir dir;
  WriteResult(dir.path(), {{"11.."}, {"...2"}, {"...2"}}, "1 0 1 0\n2 1 2 0\n");
  EXPECT_EQ(Reports(dir.path()),
            (std::vector<std::string>{"frame 1, label 1: track is alive but its label is not in "
                                      "the mask"}));
}

TEST(ResultCheckTest, MasksMustBeSixteenBit) {
  ScratchDir dir;
  WriteResult(dir.path(), {{"11.."}, {"11.."}}, "1 0 1 0\n");
  Draw<unsigned char>({"11.."}).SaveImage((dir.path() / "mask001.tif").c_str());
  EXPECT_EQ(Reports(dir.path()), (std::vector<std::string>{"frame 1: mask is 8-bit, not 16-bit"}));
}

TEST(ResultCheckTest, MasksMustBeOfOneSize) {
  ScratchDir dir;
  WriteResult(dir.path(), {{"11.."}, {"11...", "....."}}, "1 0 1 0\n");
  EXPECT_EQ(Reports(dir.path()),
            (std::vector<std::string>{"frame 1: mask is 5x2, frame 0 is 4x1"}));
}

TEST(ResultCheckTest, GroundTruthFixesFrameCountAndSize) {
  ScratchDir dir;
  WriteResult(dir.path() / "RES", {{"11.."}, {"11.."}}, "1 0 1 0\n");
  testing::WriteGroundTruth(dir.path() / "GT", {{"1..", "..."}, {"1..", "..."}, {"1..", "..."}},
                            "1 0 2 0\n");
  EXPECT_EQ(Reports(dir.path() / "RES", dir.path() / "GT"),
            (std::vector<std::string>{"frame 0: mask is 4x1, the ground truth 3x2",
                                      "frame 1: mask is 4x1, the ground truth 3x2",
                                      "the result has 2 frames, the ground truth 3"}));
}

void ExpectFailure(const std::function<void()>& work, ExitCode code, const std::string& text) {
  try {
    work();
    ADD_FAILURE() << "no failure";
  } catch (const ToolError& e) {
    EXPECT_EQ(e.code(), code);
    EXPECT_EQ(std::string(e.what()), text);
  }
}

TEST(ResultCheckTest, MissingAndMalformedInputs) {
  ScratchDir dir;
  const std::string root = dir.path().string();
  ExpectFailure([&] { CheckResultFolder(dir.path() / "none", {}); }, kExitNoInput,
                "result folder " + root + "/none does not exist");
  ExpectFailure([&] { CheckResultFolder(dir.path(), {}); }, kExitNoInput,
                root + " holds no mask000.tif");
  testing::WriteFrames(dir.path(), "mask", {{"1"}});
  ExpectFailure([&] { CheckResultFolder(dir.path(), {}); }, kExitNoInput,
                "cannot read " + root + "/res_track.txt (no such file)");
  testing::WriteText(dir.path() / "res_track.txt", "1 0 0 0\n1 0 x 0\n");
  ExpectFailure([&] { CheckResultFolder(dir.path(), {}); }, kExitDataError,
                root +
                    "/res_track.txt line 2: expected four non-negative integers 'L B E P', "
                    "found '1 0 x 0'");
  testing::WriteText(dir.path() / "res_track.txt", "1 0 0 0\n");
  testing::WriteText(dir.path() / "mask000.tif", "not a TIFF");
  try {
    CheckResultFolder(dir.path(), {});
    ADD_FAILURE() << "no failure";
  } catch (const ToolError& e) {
    EXPECT_EQ(e.code(), kExitDataError);
    EXPECT_EQ(std::string(e.what()).rfind("cannot read " + root + "/mask000.tif (", 0), 0u)
        << e.what();
  }
}

}  // namespace
}  // namespace trel::tool
