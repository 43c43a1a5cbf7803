// The measures on real sequences with their own ground truth as the result (skipped when the
// shared data are absent). Fluo-N2DH-SIM+ has full masks in every SEG frame and its TRA markers
// are those same masks, so a result built from SEG scores exactly 1 on every measure.
// Fluo-N2DH-GOWT1 has small markers and partial SEG frames: a result built from its markers
// scores 1 on DET and TRA, and SEG below 1 since markers do not cover the annotated outlines.
#include <gtest/gtest.h>

#include "app/tool_fixture.h"
#include "evaluation.h"
#include "result_check.h"
#include "support/test_support.h"

namespace trel::tool {
namespace {

using trel::testing::ScratchDir;
using trel::testing::SharedData;

TEST(SharedDataEvalTest, SimulatedNucleiAgainstThemselvesScoreOne) {
  const std::string gt = SharedData("Fluo-N2DH-SIM+/01_GT");
  if (gt.empty()) GTEST_SKIP() << "shared data absent";
  ScratchDir dir;
  testing::GroundTruthAsResult(gt, "SEG", "man_seg", dir.path() / "res");
  EXPECT_TRUE(CheckResultFolder(dir.path() / "res", gt).empty());
  const Evaluation e = Evaluate(gt, dir.path() / "res");
  EXPECT_EQ(e.frames, 65u);
  EXPECT_EQ(*e.seg, 1.0);
  EXPECT_EQ(*e.det, 1.0);
  EXPECT_EQ(*e.tra, 1.0);
  EXPECT_EQ(*e.bio->ct, 1.0);
  EXPECT_EQ(*e.bio->tf, 1.0);
  EXPECT_EQ(e.aogm.Cost(), 0.0);
}

TEST(SharedDataEvalTest, StemCellMarkersAgainstThemselves) {
  const std::string gt = SharedData("Fluo-N2DH-GOWT1/01_GT");
  if (gt.empty()) GTEST_SKIP() << "shared data absent";
  ScratchDir dir;
  testing::GroundTruthAsResult(gt, "TRA", "man_track", dir.path() / "res");
  const Evaluation e = Evaluate(gt, dir.path() / "res");
  EXPECT_EQ(e.frames, 92u);
  EXPECT_EQ(*e.det, 1.0);
  EXPECT_EQ(*e.tra, 1.0);
  EXPECT_EQ(*e.bio->Bc(0), 1.0);  // its two divisions, one of them after a gap
  EXPECT_GT(e.seg_objects, 0u);
  EXPECT_LT(*e.seg, 1.0);
}

}  // namespace
}  // namespace trel::tool
