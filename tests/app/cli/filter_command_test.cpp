// `trel filter`: frames and slices found from the folder, output written under the input names,
// and the library's failures mapped to exit statuses.
#include <gtest/gtest.h>

#include <sstream>

#include "app/tool_fixture.h"
#include "commands.h"
#include "label_image.h"
#include "support/test_support.h"
#include "synthetic_sequence.h"

namespace trel::tool {
namespace {

using trel::testing::ScratchDir;

class FilterCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SynthOptions o;
    o.dim = 3;
    o.size = 24;
    o.depth = 4;
    o.frames = 3;
    o.cells = 2;
    WriteSyntheticSequence(o, dir_.path() / "data", nullptr);
    options_.in = dir_.path() / "data/01";
    options_.out = dir_.path() / "out";
  }
  int Run(const FilterOptions& o) { return RunFilter(o, out_, err_); }
  ScratchDir dir_;
  FilterOptions options_;
  std::ostringstream out_, err_;
};

TEST_F(FilterCommandTest, FindsFramesAndSlicesFromTheFolder) {
  ASSERT_EQ(Run(options_), 0) << err_.str();
  EXPECT_EQ(out_.str(), "filtered 3 frame(s) of 4 slice(s) into " + options_.out.string() + "\n");
  LabelImage frame;
  EXPECT_EQ(ReadLabelImage(options_.out / "t002.tif", frame), 16);
  EXPECT_EQ(frame.GetSizeZ(), 4u);
  EXPECT_FALSE(std::filesystem::exists(options_.out / "t003.tif"));
}

TEST_F(FilterCommandTest, FailuresMapToExitStatuses) {
  FilterOptions more = options_;
  more.frames = 5;
  EXPECT_EQ(Run(more), kExitNoInput);
  EXPECT_EQ(err_.str().rfind("trel filter: Frame i=3: Image data cannot be loaded!", 0), 0u)
      << err_.str();
  FilterOptions slices = options_;
  slices.slices = 2;
  EXPECT_EQ(Run(slices), kExitDataError);
  FilterOptions same = options_;
  same.out = same.in;
  EXPECT_EQ(Run(same), kExitUsage);
  FilterOptions absent = options_;
  absent.in = dir_.path() / "none";
  EXPECT_EQ(Run(absent), kExitNoInput);
  std::filesystem::create_directories(dir_.path() / "empty");
  FilterOptions empty = options_;
  empty.in = dir_.path() / "empty";
  EXPECT_EQ(Run(empty), kExitNoInput);
}

TEST(FilterErrorCodeTest, ByMessage) {
  ScratchDir dir;
  testing::WriteText(dir.path() / "t001.tif", "x");
  EXPECT_EQ(FilterErrorCode("Frame i=2: Image data cannot be saved! (x)", dir.path()),
            kExitIoError);
  EXPECT_EQ(FilterErrorCode("Frame i=0: Image data cannot be loaded! (x)", dir.path()),
            kExitNoInput);
  EXPECT_EQ(FilterErrorCode("Frame i=1: Image data cannot be loaded! (x)", dir.path()),
            kExitDataError);
  EXPECT_EQ(
      FilterErrorCode("Frame i=1: Unexpected number of slices! (Expected=2,Loaded=1)", dir.path()),
      kExitDataError);
  EXPECT_EQ(FilterErrorCode("Frame i=1: Filtering failed! (Not enough memory)", dir.path()),
            kExitDataError);
}

}  // namespace
}  // namespace trel::tool
