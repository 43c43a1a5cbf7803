// Majority-cover matching: more than half of the reference object, never exactly half; merges.
#include "object_matching.h"

#include <gtest/gtest.h>

#include "app/eval/drawn_matching.h"

namespace trel::tool {
namespace {

constexpr auto Match = MatchDrawings;

TEST(ObjectMatchingTest, MajorityCoverOfADrawing) {
  // Reference 1 (4 voxels) is 3/4 covered by result 7; reference 2 (4 voxels) half by 7 and
  // half by 8: no match; reference 3 (2 voxels) fully by 8.
  const FrameMatching m = Match({"1111", "2222", "33.."},  //
                                {"777.", "7788", "88.9"});
  EXPECT_EQ(m.MatchOf(1), 7);
  EXPECT_EQ(m.MatchOf(2), 0);
  EXPECT_EQ(m.MatchOf(3), 8);
  EXPECT_EQ(m.MatchOf(4), 0);  // absent
  EXPECT_EQ(m.UniqueMatchOf(7), 1);
  EXPECT_EQ(m.UniqueMatchOf(8), 3);
  EXPECT_EQ(m.UniqueMatchOf(9), 0);  // false object
  ASSERT_EQ(m.result.size(), 3u);
  EXPECT_EQ(m.matches[2], 0u);
}

TEST(ObjectMatchingTest, MergedObjectMatchesSeveralButUniquelyNone) {
  const FrameMatching m = Match({"11.22.3"}, {"5555555"});
  EXPECT_EQ(m.MatchOf(1), 5);
  EXPECT_EQ(m.MatchOf(2), 5);
  EXPECT_EQ(m.MatchOf(3), 5);
  EXPECT_EQ(m.matches[0], 3u);
  EXPECT_EQ(m.UniqueMatchOf(5), 0);
}

TEST(ObjectMatchingTest, CoverRule) {
  EXPECT_FALSE(CoversMoreThanHalf(2, 4));
  EXPECT_TRUE(CoversMoreThanHalf(3, 4));
  EXPECT_TRUE(CoversMoreThanHalf(1, 1));
  EXPECT_FALSE(CoversMoreThanHalf(0, 1));
  EXPECT_TRUE(CoversMoreThanHalf(3, 5));
}

TEST(ObjectMatchingTest, EmptyFrames) {
  const FrameMatching none = Match({"...."}, {"...."});
  EXPECT_TRUE(none.reference.empty() && none.result.empty());
  const FrameMatching only_reference = Match({"1.2."}, {"...."});
  EXPECT_EQ(only_reference.matched_by, (std::vector<uint16_t>{0, 0}));
}

}  // namespace
}  // namespace trel::tool
