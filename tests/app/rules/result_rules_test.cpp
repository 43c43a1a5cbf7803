// One failing example per consistency rule, with the exact report, and a consistent lineage.
#include "result_rules.h"

#include <gtest/gtest.h>

namespace trel::tool {
namespace {

std::vector<std::string> Reports(const std::vector<Violation>& violations) {
  std::vector<std::string> text;
  for (const Violation& v : violations) text.push_back(FormatViolation(v));
  return text;
}

std::vector<std::string> TableReports(const std::vector<TrackLine>& tracks, uint64_t frames) {
  return Reports(CheckTrackTable(tracks, frames));
}

TEST(ResultRulesTest, ConsistentLineagePasses) {
  const std::vector<TrackLine> tracks = {{1, 0, 3, 0, 1}, {2, 4, 5, 1, 2}, {3, 4, 5, 1, 3}};
  EXPECT_TRUE(CheckTrackTable(tracks, 6).empty());
  const PresenceRule rule(tracks);
  std::vector<Violation> v;
  rule.Check(0, {1}, v);
  rule.Check(4, {2, 3}, v);
  EXPECT_TRUE(v.empty());
}

TEST(ResultRulesTest, LabelMustBePositive) {
  EXPECT_EQ(TableReports({{0, 0, 0, 0, 1}}, 1),
            (std::vector<std::string>{"line 1: label 0 is not a positive label"}));
}

TEST(ResultRulesTest, LabelMustFitSixteenBits) {
  EXPECT_EQ(TableReports({{65536, 0, 0, 0, 1}}, 1),
            (std::vector<std::string>{
                "tracks, label 65536: label exceeds 65535, the largest 16-bit label"}));
}

TEST(ResultRulesTest, LabelsAreUnique) {
  EXPECT_EQ(TableReports({{4, 0, 0, 0, 1}, {4, 0, 0, 0, 7}}, 1),
            (std::vector<std::string>{
                "tracks, label 4: label listed again on line 7 (first on line 1)"}));
}

TEST(ResultRulesTest, TrackBeginsNoLaterThanItEnds) {
  EXPECT_EQ(TableReports({{2, 3, 1, 0, 1}}, 5),
            (std::vector<std::string>{
                "tracks, label 2: track begins at frame 3 after it ends at frame 1"}));
}

TEST(ResultRulesTest, TrackEndsWithinTheMasks) {
  EXPECT_EQ(TableReports({{2, 0, 5, 0, 1}}, 5),
            (std::vector<std::string>{
                "tracks, label 2: track ends at frame 5 but the last mask is frame 4"}));
}

TEST(ResultRulesTest, ParentMustExist) {
  EXPECT_EQ(TableReports({{2, 0, 1, 9, 1}}, 2),
            (std::vector<std::string>{"tracks, label 2: parent 9 is not a track"}));
}

TEST(ResultRulesTest, ParentEndsBeforeItsDaughterBegins) {
  EXPECT_EQ(TableReports({{1, 0, 2, 0, 1}, {2, 2, 3, 1, 2}}, 4),
            (std::vector<std::string>{"tracks, label 2: parent 1 ends at frame 2, not before "
                                      "its daughter begins at frame 2"}));
  // A track cannot be its own parent.
  EXPECT_EQ(CheckTrackTable({{1, 0, 2, 1, 1}}, 4).size(), 1u);
}

TEST(ResultRulesTest, MaskLabelMustBeATrack) {
  const PresenceRule rule({{1, 0, 3, 0, 1}});
  std::vector<Violation> v;
  rule.Check(2, {1, 5}, v);
  EXPECT_EQ(
      Reports(v),
      (std::vector<std::string>{"frame 2, label 5: label is in the mask but is not a track"}));
}

TEST(ResultRulesTest, MaskLabelMustBeAlive) {
  const PresenceRule rule({{1, 0, 3, 0, 1}, {2, 5, 6, 0, 2}});
  std::vector<Violation> v;
  rule.Check(4, {2}, v);
  EXPECT_EQ(Reports(v),
            (std::vector<std::string>{
                "frame 4, label 2: label is in the mask but its track (frames 5-6) is not alive"}));
}

TEST(ResultRulesTest, AliveTrackMustBeInTheMask) {
  const PresenceRule rule({{1, 0, 3, 0, 1}, {3, 0, 3, 0, 2}});
  std::vector<Violation> v;
  rule.Check(1, {3}, v);
  EXPECT_EQ(Reports(v), (std::vector<std::string>{
                            "frame 1, label 1: track is alive but its label is not in the mask"}));
}

TEST(ResultRulesTest, FolderRuleWithoutFrameOrLabel) {
  EXPECT_EQ(FormatViolation({kNoFrame, 0, "the result has 3 frames, the ground truth 4"}),
            "the result has 3 frames, the ground truth 4");
  EXPECT_EQ(FormatViolation({7, 0, "mask is 8-bit, not 16-bit"}),
            "frame 7: mask is 8-bit, not 16-bit");
}

TEST(ResultRulesTest, EveryBrokenRuleIsReported) {
  const std::vector<TrackLine> tracks = {{0, 0, 0, 0, 1}, {2, 3, 1, 8, 2}, {2, 0, 9, 0, 3}};
  EXPECT_EQ(CheckTrackTable(tracks, 5).size(), 5u);
}

}  // namespace
}  // namespace trel::tool
