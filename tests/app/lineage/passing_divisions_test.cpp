// Withdrawal of divisions whose daughters do not last, on hand-made lineages of a 20-frame run.
#include "passing_divisions.h"

#include <gtest/gtest.h>

#include <array>

namespace trel::tool {
namespace {

using Line = std::array<uint64_t, 4>;  // label, first, last, parent

std::vector<Line> Lines(const std::vector<TrackLine>& lineage) {
  std::vector<Line> lines;
  for (const TrackLine& t : lineage) lines.push_back({t.label, t.begin, t.end, t.parent});
  return lines;
}

TEST(PassingDivisionsTest, ADaughterOfTwoFramesGoesBackToItsMother) {
  // 1 divides at frame 5 into 2 (lasts, divides again at 12 into 4 and 5) and 3 (two frames).
  const Withdrawal w = WithdrawPassingDivisions(
      {{1, 0, 4, 0, 0}, {2, 5, 11, 1, 0}, {3, 5, 6, 1, 0}, {4, 12, 19, 2, 0}, {5, 12, 19, 2, 0}},
      20);
  EXPECT_EQ(w.relabeled, (std::map<uint64_t, uint64_t>{{2, 1}, {3, 1}}));
  EXPECT_EQ(Lines(w.lineage), (std::vector<Line>{{1, 0, 11, 0}, {4, 12, 19, 1}, {5, 12, 19, 1}}));
}

TEST(PassingDivisionsTest, LastingDaughtersAndTheRunsEndKeepADivision) {
  // Both daughters last three frames; at the run's end a division cannot be judged and stands.
  const std::vector<TrackLine> lasting{{1, 0, 4, 0, 0}, {2, 5, 7, 1, 0}, {3, 5, 9, 1, 0}};
  EXPECT_TRUE(WithdrawPassingDivisions(lasting, 20).relabeled.empty());
  const std::vector<TrackLine> at_end{{1, 0, 17, 0, 0}, {2, 18, 19, 1, 0}, {3, 18, 19, 1, 0}};
  EXPECT_TRUE(WithdrawPassingDivisions(at_end, 20).relabeled.empty());
}

TEST(PassingDivisionsTest, ChainsFollowAndUnsafeWithdrawalsAreLeft) {
  // 2 is a passing daughter of 1 and 4 a passing daughter of 2's lasting sister 3: all become 1.
  const Withdrawal chain = WithdrawPassingDivisions(
      {{1, 0, 4, 0, 0}, {2, 5, 5, 1, 0}, {3, 5, 9, 1, 0}, {4, 10, 10, 3, 0}, {6, 10, 19, 3, 0}},
      20);
  EXPECT_EQ(Lines(chain.lineage), (std::vector<Line>{{1, 0, 19, 0}}));
  // The passing daughter 3 outlives its lasting sister 2, whose daughters begin at 8: the
  // mother could not be one stretch of frames, so the division is left as it is.
  const std::vector<TrackLine> outliving{
      {1, 0, 4, 0, 0}, {2, 5, 7, 1, 0}, {3, 5, 8, 1, 0}, {4, 8, 19, 2, 0}, {5, 8, 9, 2, 0}};
  EXPECT_FALSE(WithdrawPassingDivisions(outliving, 20).relabeled.count(3));
}

}  // namespace
}  // namespace trel::tool
