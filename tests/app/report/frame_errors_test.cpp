// Error verdicts of the report's drawings on two hand-drawn frames whose errors are known.
#include "frame_errors.h"

#include <gtest/gtest.h>

#include "app/eval/drawn_matching.h"

namespace trel::tool {
namespace {

constexpr auto Match = MatchDrawings;

TEST(FrameErrorsTest, FalseMergedMissedAndWrongLinks) {
  // Reference: 1 goes on, 2 is followed by its daughter 5 in frame 1, and 3 appears there.
  const Links reference({{1, 0, 1, 0, 0}, {2, 0, 0, 0, 0}, {5, 1, 1, 2, 0}, {3, 1, 1, 0, 0}});
  // Result: 7 follows 1 correctly; 8 (on 2) ends and 9 begins on 5 without a parent: a missing
  // link; 6 is a false object; in frame 1 a label 10 continues nothing and covers 3 correctly.
  const Links result({{7, 0, 1, 0, 0}, {8, 0, 0, 0, 0}, {9, 1, 1, 0, 0}, {10, 1, 1, 0, 0}});
  const FrameMatching before = Match({"11..22...."}, {"77..88..66"});
  const FrameMatching now = Match({"11..55..33"}, {"77..99..aa"});
  const FrameErrors first = JudgeFrame(before, nullptr, 0, result, reference);
  EXPECT_EQ(first.result.at(7), Verdict::kMatched);
  EXPECT_EQ(first.result.at(6), Verdict::kFalse);
  const FrameErrors second = JudgeFrame(now, &before, 1, result, reference);
  EXPECT_EQ(second.result.at(7), Verdict::kMatched);
  EXPECT_EQ(second.result.at(9), Verdict::kWrongLink);  // the division 2 -> 5 is not linked
  EXPECT_EQ(second.result.at(10), Verdict::kMatched);   // a new track where one begins
  EXPECT_TRUE(second.missed.empty());
}

TEST(FrameErrorsTest, MergesAndMissedReferences) {
  const Links none({});
  const FrameMatching m = Match({"11.22.33"}, {"444444.."});
  const FrameErrors e = JudgeFrame(m, nullptr, 0, none, none);
  EXPECT_EQ(e.result.at(4), Verdict::kMerged);
  EXPECT_EQ(e.missed, std::vector<uint16_t>{3});
  EXPECT_EQ(e.Count(Verdict::kMerged), 1u);
}

TEST(FrameErrorsTest, ALinkOfTheWrongKindIsWrong) {
  // The reference divides 1 into 2 and 3; the result keeps its label 5 on one daughter and begins
  // 6 as the other's daughter: 5 continues the right object, but not by a division.
  const Links reference({{1, 0, 0, 0, 0}, {2, 1, 1, 1, 0}, {3, 1, 1, 1, 0}});
  const Links result({{5, 0, 1, 0, 0}, {6, 1, 1, 5, 0}});
  const FrameMatching before = Match({"1111...."}, {"5555...."});
  const FrameMatching now = Match({"22..33.."}, {"55..66.."});
  const FrameErrors e = JudgeFrame(now, &before, 1, result, reference);
  EXPECT_EQ(e.result.at(5), Verdict::kWrongLink);
  EXPECT_EQ(e.result.at(6), Verdict::kMatched);
}

TEST(FrameErrorsTest, LinkFromAFalseObjectIsWrong) {
  // Result track 5 begins on a false object in frame 0 and then covers reference 1, which
  // appears only in frame 1.
  const Links reference({{1, 1, 1, 0, 0}});
  const Links result({{5, 0, 1, 0, 0}});
  const FrameMatching before = Match({"...."}, {"55.."});
  const FrameMatching now = Match({"11.."}, {"55.."});
  EXPECT_EQ(JudgeFrame(now, &before, 1, result, reference).result.at(5), Verdict::kWrongLink);
}

}  // namespace
}  // namespace trel::tool
