// The graph cut's stacks moved to their nuclei's edges: a blurred ball's mask drawn too small or
// too large moves towards its edge, masks of one-slice images are left as they are (the file is not
// even rewritten), and a frame whose size differs from its mask's is refused.
#include "stack_outlines.h"

#include <gtest/gtest.h>

#include <cmath>

#include "frame_files.h"
#include "label_image.h"
#include "support/test_support.h"
#include "tool_error.h"

namespace {

using trel::testing::ScratchDir;
namespace tool = trel::tool;

// A ball of radius 8 in a 32x32x24 stack, its edge blurred over about a voxel, 100 grey values
// above a background of 100; its mask, label 4, is drawn `mask_r` in radius.
void WriteBall(const ScratchDir& dir, uint64_t nz, double mask_r) {
  tool::LabelImage grey, mask;
  grey.MakeRoom(32, 32, nz);
  mask.MakeRoom(32, 32, nz);
  const double cz = nz > 1 ? 12.0 : 0.0;
  for (uint64_t z = 0; z < nz; ++z)
    for (uint64_t y = 0; y < 32; ++y)
      for (uint64_t x = 0; x < 32; ++x) {
        const double d = std::hypot(x - 16.0, y - 16.0, z - cz);
        const double v = 0.5 * std::erfc((d - 8.0) / (1.0 * std::sqrt(2.0)));
        grey.SetVoxel(x, y, z, static_cast<unsigned short>(100 + std::lround(100 * v)));
        mask.SetVoxel(x, y, z, d <= mask_r ? 4 : 0);
      }
  tool::WriteLabelImage(tool::FrameFiles(dir / "in", "t").Name(0), grey);
  tool::WriteLabelImage(tool::FrameFiles(dir / "out", "mask").Name(0), mask);
}

// The radius of a ball of the mask's volume.
double Radius(const ScratchDir& dir) {
  tool::LabelImage mask;
  tool::ReadLabelImage(tool::FrameFiles(dir / "out", "mask").Name(0), mask);
  uint64_t volume = 0;
  for (const unsigned short l : mask) volume += l == 4;
  return std::cbrt(3.0 * double(volume) / (4.0 * M_PI));
}

void MakeFolders(const ScratchDir& dir) {
  std::filesystem::create_directories(dir / "in");
  std::filesystem::create_directories(dir / "out");
}

// The edge's level lies between the ball's half level (radius 8) and its outer foot; a mask
// drawn too small or too large moves towards it by more than a third of a voxel in radius, and
// never past it.
TEST(StackOutlines, AStackMaskMovesTowardsTheBallsEdgeFromEitherSide) {
  for (const double drawn : {7.0, 11.0}) {
    SCOPED_TRACE("drawn at radius " + std::to_string(drawn));
    ScratchDir dir;
    MakeFolders(dir);
    WriteBall(dir, 24, drawn);
    const double before = Radius(dir);
    tool::MoveStackOutlinesToEdges(dir / "in", dir / "out", 1);
    const double after = Radius(dir);
    EXPECT_GT(std::abs(after - before), 0.33) << before << " -> " << after;
    EXPECT_GE(after, std::min(before, 8.0)) << before << " -> " << after;
    EXPECT_LE(after, std::max(before, 9.0)) << before << " -> " << after;
    EXPECT_LT(std::abs(after - 8.5), std::abs(before - 8.5)) << before << " -> " << after;
  }
}

TEST(StackOutlines, ImagesAreLeftAsTheyAre) {
  ScratchDir dir;
  MakeFolders(dir);
  WriteBall(dir, 1, 10);
  const auto mask = tool::FrameFiles(dir / "out", "mask").Name(0);
  std::filesystem::create_hard_link(mask, dir / "link.tif");
  tool::MoveStackOutlinesToEdges(dir / "in", dir / "out", 1);
  EXPECT_TRUE(std::filesystem::equivalent(mask, dir / "link.tif"));
}

TEST(StackOutlines, AFrameOfAnotherSizeThanItsMaskIsRefused) {
  ScratchDir dir;
  MakeFolders(dir);
  WriteBall(dir, 24, 10);
  tool::LabelImage other;
  other.MakeRoom(32, 32, 23);
  other.SetAllVoxels(0);
  tool::WriteLabelImage(tool::FrameFiles(dir / "in", "t").Name(0), other);
  try {
    tool::MoveStackOutlinesToEdges(dir / "in", dir / "out", 1);
    FAIL() << "no error";
  } catch (const tool::ToolError& e) {
    EXPECT_EQ(e.code(), tool::kExitDataError);
    EXPECT_NE(std::string(e.what()).find("32x32x23"), std::string::npos) << e.what();
  }
}

}  // namespace
