// CT, TF and BC(i) on hand-made pairs: complete and broken tracks, a division found one frame
// late, a division not found.
#include "bio_measures.h"

#include <gtest/gtest.h>

#include "app/tool_fixture.h"
#include "evaluation.h"
#include "support/test_support.h"

namespace trel::tool {
namespace {

using testing::Drawing;
using trel::testing::ScratchDir;

class BioMeasuresTest : public ::testing::Test {
 protected:
  BioMeasures Run(const std::vector<Drawing>& markers, const std::string& reference,
                  const std::vector<Drawing>& masks, const std::string& result) {
    testing::WriteGroundTruth(dir_.path() / "GT", markers, reference);
    testing::WriteResult(dir_.path() / "RES", masks, result);
    return *Evaluate(dir_.path() / "GT", dir_.path() / "RES").bio;
  }
  ScratchDir dir_;
};

const std::vector<Drawing> kTwoCells = {{"11..22.."}, {"11..22.."}, {"11..22.."}};

TEST_F(BioMeasuresTest, BrokenTrackCountsInCtAndTf) {
  // Track 1 is reproduced; track 2 is cut after frame 1 (2 of its 3 frames in one piece).
  const BioMeasures m =
      Run(kTwoCells, "1 0 2 0\n2 0 2 0\n", {{"11..22.."}, {"11..22.."}, {"11..33.."}},
          "1 0 2 0\n2 0 1 0\n3 2 2 0\n");
  EXPECT_EQ(m.reference_tracks, 2u);
  EXPECT_EQ(m.result_tracks, 3u);
  EXPECT_EQ(m.complete_tracks, 1u);
  EXPECT_DOUBLE_EQ(*m.ct, 2.0 * 1 / (2 + 3));
  EXPECT_DOUBLE_EQ(*m.tf, (1.0 + 2.0 / 3.0) / 2.0);
  EXPECT_FALSE(m.Bc(0));  // no reference divisions
}

TEST_F(BioMeasuresTest, TrackLongerThanTheReferenceIsNotComplete) {
  const BioMeasures m =
      Run({{"11.."}, {"11.."}, {"...."}}, "1 0 1 0\n", {{"11.."}, {"11.."}, {"11.."}}, "1 0 2 0\n");
  EXPECT_EQ(m.complete_tracks, 0u);
  EXPECT_EQ(*m.ct, 0.0);
  EXPECT_EQ(*m.tf, 1.0);
}

TEST_F(BioMeasuresTest, UndetectedTracksAreLeftOutOfTf) {
  const BioMeasures m =
      Run(kTwoCells, "1 0 2 0\n2 0 2 0\n", {{"11......"}, {"11......"}, {"11......"}}, "1 0 2 0\n");
  EXPECT_EQ(*m.tf, 1.0);
  EXPECT_DOUBLE_EQ(*m.ct, 2.0 * 1 / (2 + 1));
}

TEST_F(BioMeasuresTest, TrackFollowingAWholeReferenceTrackCountsForItAlone) {
  // Result 1 follows mother 1 whole and then daughter 2 for two of its three frames: that run
  // does not count for the daughter, whose fraction is its last frame, matched by result 6.
  const BioMeasures m =
      Run({{"..1111...."}, {"..1111...."}, {".22..33..."}, {".22..33..."}, {".22..33..."}},
          "1 0 1 0\n2 2 4 1\n3 2 4 1\n",
          {{"..1111...."}, {"..1111...."}, {".11..33..."}, {".11..33..."}, {".66..33..."}},
          "1 0 3 0\n3 2 4 0\n6 4 4 1\n");
  EXPECT_DOUBLE_EQ(*m.tf, (1.0 + 1.0 / 3.0 + 1.0) / 3.0);
}

// Mother 1 in frames 0-1 divides into 2 and 3 (frames 2-3).
const std::vector<Drawing> kDivision = {
    {"..1111...."}, {"..1111...."}, {".22..33..."}, {".22..33..."}};
const char* kDivisionTracks = "1 0 1 0\n2 2 3 1\n3 2 3 1\n";

TEST_F(BioMeasuresTest, DivisionFoundOneFrameLate) {
  // The result's mother lives on in frame 2 (covering daughter 2); its daughters start at 3.
  const BioMeasures m = Run(kDivision, kDivisionTracks,
                            {{"..1111...."}, {"..1111...."}, {".11......."}, {".22..33..."}},
                            "1 0 2 0\n2 3 3 1\n3 3 3 1\n");
  EXPECT_EQ(m.reference_divisions, 1u);
  EXPECT_EQ(m.result_divisions, 1u);
  EXPECT_EQ(*m.Bc(0), 0.0);
  EXPECT_EQ(*m.Bc(1), 1.0);
  EXPECT_EQ(*m.Bc(3), 1.0);
}

TEST_F(BioMeasuresTest, DivisionMissedOrInvented) {
  const BioMeasures missed =
      Run(kDivision, kDivisionTracks, kDivision, "1 0 1 0\n2 2 3 0\n3 2 3 0\n");
  EXPECT_EQ(missed.result_divisions, 0u);
  EXPECT_EQ(*missed.Bc(2), 0.0);
  const BioMeasures right = Run(kDivision, kDivisionTracks, kDivision, kDivisionTracks);
  EXPECT_EQ(*right.Bc(0), 1.0);
  EXPECT_EQ(*right.ct, 1.0);
  // A parent with a single daughter (a gap in a track) is no division.
  const BioMeasures wrong =
      Run({{"..1111....44"}, {"..1111....44"}, {".22..33...44"}, {".22..33...44"}},
          "1 0 1 0\n2 2 3 1\n3 2 3 1\n4 0 3 0\n",
          {{"..1111....44"}, {"..1111....44"}, {".22..33...55"}, {".22..33...55"}},
          "1 0 1 0\n2 2 3 0\n3 2 3 0\n4 0 1 0\n5 2 3 4\n");
  EXPECT_EQ(wrong.result_divisions, 0u);  // 4 has a single daughter: no division
  EXPECT_EQ(*wrong.Bc(0), 0.0);
}

}  // namespace
}  // namespace trel::tool
