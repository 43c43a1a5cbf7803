// DET and TRA on hand-made reference/result pairs whose AOGM is worked out by hand: each kind of
// graph error alone, its cost, and the normalisation by the cost of building the reference.
#include "aogm.h"

#include <gtest/gtest.h>

#include "app/tool_fixture.h"
#include "evaluation.h"
#include "support/test_support.h"

namespace trel::tool {
namespace {

using testing::Drawing;
using testing::WriteGroundTruth;
using testing::WriteResult;
using trel::testing::ScratchDir;

// Two cells standing still for three frames: |V| = 6, |E| = 4, AOGM-D0 = 60, AOGM0 = 66.
const std::vector<Drawing> kTwoCells = {{"11..22.."}, {"11..22.."}, {"11..22.."}};
const char* kTwoTracks = "1 0 2 0\n2 0 2 0\n";
constexpr double kVertexBase = 60.0;
constexpr double kGraphBase = 66.0;

class AogmTest : public ::testing::Test {
 protected:
  Evaluation Run(const std::vector<Drawing>& masks, const std::string& tracks,
                 const std::vector<Drawing>& markers = kTwoCells,
                 const std::string& reference = kTwoTracks) {
    WriteGroundTruth(dir_.path() / "GT", markers, reference);
    WriteResult(dir_.path() / "RES", masks, tracks);
    return Evaluate(dir_.path() / "GT", dir_.path() / "RES");
  }
  ScratchDir dir_;
};

void ExpectCounts(const AogmCounts& c, uint64_t ns, uint64_t fn, uint64_t fp, uint64_t ed,
                  uint64_t ea, uint64_t ec) {
  EXPECT_EQ(c.splits, ns);
  EXPECT_EQ(c.false_negatives, fn);
  EXPECT_EQ(c.false_positives, fp);
  EXPECT_EQ(c.edges_deleted, ed);
  EXPECT_EQ(c.edges_added, ea);
  EXPECT_EQ(c.edges_semantic, ec);
}

TEST_F(AogmTest, GroundTruthAgainstItselfScoresOne) {
  const Evaluation e = Run(kTwoCells, kTwoTracks);
  ExpectCounts(e.aogm, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(e.aogm.reference_vertices, 6u);
  EXPECT_EQ(e.aogm.reference_edges, 4u);
  EXPECT_EQ(*e.det, 1.0);
  EXPECT_EQ(*e.tra, 1.0);
}

TEST_F(AogmTest, RelabelledResultScoresOne) {
  const Evaluation e = Run({{"77..33.."}, {"77..33.."}, {"77..33.."}}, "3 0 2 0\n7 0 2 0\n");
  EXPECT_EQ(*e.det, 1.0);
  EXPECT_EQ(*e.tra, 1.0);
}

TEST_F(AogmTest, MissedObjectCostsTenAndItsLinksOneAndAHalfEach) {
  // Cell 2 is missed in frame 1: its track is cut in two.
  const Evaluation e =
      Run({{"11..22.."}, {"11......"}, {"11..33.."}}, "1 0 2 0\n2 0 0 0\n3 2 2 0\n");
  ExpectCounts(e.aogm, 0, 1, 0, 0, 2, 0);
  EXPECT_DOUBLE_EQ(e.aogm.VertexCost(), 10.0);
  EXPECT_DOUBLE_EQ(e.aogm.Cost(), 13.0);
  EXPECT_DOUBLE_EQ(*e.det, 1.0 - 10.0 / kVertexBase);
  EXPECT_DOUBLE_EQ(*e.tra, 1.0 - 13.0 / kGraphBase);
}

TEST_F(AogmTest, FalsePositiveCostsOneWithItsLinks) {
  const Evaluation e =
      Run({{"11..22.."}, {"11..22.3"}, {"11..22.3"}}, "1 0 2 0\n2 0 2 0\n3 1 2 0\n");
  ExpectCounts(e.aogm, 0, 0, 2, 0, 0, 0);
  EXPECT_DOUBLE_EQ(*e.det, 1.0 - 2.0 / kVertexBase);
  EXPECT_DOUBLE_EQ(*e.tra, 1.0 - 2.0 / kGraphBase);
  EXPECT_EQ(*e.lnk, 1.0);
}

TEST_F(AogmTest, MergedPairCostsASplitAndItsLinksAreRedone) {
  // In frame 1 one result object covers both cells. Its links go with the split, at no cost of
  // their own, and the four reference links that touch it are added.
  const Evaluation e =
      Run({{"11..22.."}, {"111111.."}, {"11..33.."}}, "1 0 2 0\n2 0 0 0\n3 2 2 0\n");
  ExpectCounts(e.aogm, 1, 0, 0, 0, 4, 0);
  EXPECT_DOUBLE_EQ(e.aogm.VertexCost(), 5.0);
  EXPECT_DOUBLE_EQ(e.aogm.Cost(), 5.0 + 6.0);
  EXPECT_DOUBLE_EQ(*e.det, 1.0 - 5.0 / kVertexBase);
}

TEST_F(AogmTest, ThreeMergedObjectsCostTwoSplits) {
  const Evaluation merged =
      Run({{"11111.."}}, "1 0 0 0\n", {{"1.2.3.."}}, "1 0 0 0\n2 0 0 0\n3 0 0 0\n");
  ExpectCounts(merged.aogm, 2, 0, 0, 0, 0, 0);
  EXPECT_DOUBLE_EQ(*merged.det, 1.0 - 10.0 / 30.0);
}

TEST_F(AogmTest, MissingLinkCostsOneAndAHalf) {
  // All objects found, but cell 2's track is broken between frames 1 and 2.
  const Evaluation e =
      Run({{"11..22.."}, {"11..22.."}, {"11..33.."}}, "1 0 2 0\n2 0 1 0\n3 2 2 0\n");
  ExpectCounts(e.aogm, 0, 0, 0, 0, 1, 0);
  EXPECT_EQ(*e.det, 1.0);
  EXPECT_DOUBLE_EQ(*e.tra, 1.0 - 1.5 / kGraphBase);
}

TEST_F(AogmTest, ParentLinkInsteadOfTrackLinkIsASemanticChange) {
  const Evaluation e =
      Run({{"11..22.."}, {"11..22.."}, {"11..33.."}}, "1 0 2 0\n2 0 1 0\n3 2 2 2\n");
  ExpectCounts(e.aogm, 0, 0, 0, 0, 0, 1);
  EXPECT_DOUBLE_EQ(*e.tra, 1.0 - 1.0 / kGraphBase);
}

TEST_F(AogmTest, ExtraParentLinkIsDeleted) {
  // Reference: cell 1 in frames 0-1, an unrelated cell 2 appears in frame 2 (|V| 3, |E| 1).
  const std::vector<Drawing> frames = {{"11..."}, {"11..."}, {"...22"}};
  const Evaluation e = Run(frames, "1 0 1 0\n2 2 2 1\n", frames, "1 0 1 0\n2 2 2 0\n");
  ExpectCounts(e.aogm, 0, 0, 0, 1, 0, 0);
  EXPECT_DOUBLE_EQ(*e.tra, 1.0 - 1.0 / 31.5);
}

TEST_F(AogmTest, DivisionWithoutParentsMissesTwoLinks) {
  const std::vector<Drawing> frames = {{"..1111.."}, {"..1111.."}, {".22..33."}};
  const char* reference = "1 0 1 0\n2 2 2 1\n3 2 2 1\n";
  const Evaluation right = Run(frames, reference, frames, reference);
  EXPECT_EQ(*right.tra, 1.0);
  const Evaluation orphans = Run(frames, "1 0 1 0\n2 2 2 0\n3 2 2 0\n", frames, reference);
  ExpectCounts(orphans.aogm, 0, 0, 0, 0, 2, 0);
  // |V| = 4, |E| = 3 (one track link, two parent links).
  EXPECT_DOUBLE_EQ(*orphans.tra, 1.0 - 3.0 / (40.0 + 4.5));
}

TEST_F(AogmTest, HalfCoverIsNoMatch) {
  // Result 1 covers exactly two of the four voxels of reference 1: a miss and a false object.
  const Evaluation e = Run({{"..11...."}}, "1 0 0 0\n", {{"1111...."}}, "1 0 0 0\n");
  ExpectCounts(e.aogm, 0, 1, 1, 0, 0, 0);
  const Evaluation more = Run({{".111...."}}, "1 0 0 0\n", {{"1111...."}}, "1 0 0 0\n");
  ExpectCounts(more.aogm, 0, 0, 0, 0, 0, 0);
}

TEST_F(AogmTest, EmptyResultScoresZeroAndWorseIsClamped) {
  const Evaluation empty = Run({{"........"}, {"........"}, {"........"}}, "");
  ExpectCounts(empty.aogm, 0, 6, 0, 0, 4, 0);
  EXPECT_EQ(*empty.det, 0.0);
  EXPECT_EQ(*empty.tra, 0.0);
  // Many false objects cost more than building the reference: the measures stop at 0.
  AogmCounts counts;
  counts.reference_vertices = 1;
  counts.false_positives = 50;
  counts.has_edges = true;
  EXPECT_EQ(*counts.Det(), 0.0);
  EXPECT_EQ(*counts.Tra(), 0.0);
}

TEST(AogmCountsTest, MeasuresAreAbsentWithoutReference) {
  AogmCounts counts;
  EXPECT_FALSE(counts.Det());
  counts.reference_vertices = 3;
  EXPECT_TRUE(counts.Det());
  EXPECT_FALSE(counts.Tra());  // edges not counted
}

TEST(AogmCountsTest, CostsUseTheBenchmarkWeights) {
  AogmCounts c;
  c.splits = 1;
  c.false_negatives = 1;
  c.false_positives = 1;
  c.edges_deleted = 1;
  c.edges_added = 1;
  c.edges_semantic = 1;
  EXPECT_DOUBLE_EQ(c.VertexCost(), 16.0);
  EXPECT_DOUBLE_EQ(c.Cost(), 16.0 + 1.0 + 1.5 + 1.0);
}

}  // namespace
}  // namespace trel::tool
