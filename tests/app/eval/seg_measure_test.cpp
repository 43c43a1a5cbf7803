// SEG on objects with known overlaps, in single frames and through whole folders (including the
// 2D slice annotations of 3D frames).
#include "seg_measure.h"

#include <gtest/gtest.h>

#include "app/tool_fixture.h"
#include "evaluation.h"
#include "support/test_support.h"

namespace trel::tool {
namespace {

using trel::testing::Draw;
using trel::testing::ScratchDir;

SegMeasure Score(const std::vector<std::string>& reference,
                 const std::vector<std::string>& result) {
  const auto a = Draw<unsigned short>(reference), b = Draw<unsigned short>(result);
  OverlapCounter counter;
  SegMeasure seg;
  seg.Add(counter.Count(a.begin(), b.begin(), a.GetImageSize()));
  return seg;
}

TEST(SegMeasureTest, JaccardOfKnownOverlaps) {
  // Reference 1: 4 voxels, result 1 covers 3 of them (|R ∪ S| = 4): 3/4.
  // Reference 2: voxels 5-7; result 2 is voxels 6, 7 and 9 (|R ∩ S| = 2, |R ∪ S| = 4): 2/4.
  const SegMeasure seg = Score({"1111.222.."}, {"111...22.2"});
  EXPECT_EQ(seg.objects(), 2u);
  EXPECT_EQ(seg.matched(), 2u);
  EXPECT_DOUBLE_EQ(*seg.Value(), (3.0 / 4.0 + 2.0 / 4.0) / 2.0);
}

TEST(SegMeasureTest, UnmatchedReferenceScoresZero) {
  const SegMeasure half = Score({"1111"}, {"11.."});
  EXPECT_EQ(half.matched(), 0u);
  EXPECT_EQ(*half.Value(), 0.0);
  const SegMeasure missing = Score({"11..22"}, {"11...."});
  EXPECT_DOUBLE_EQ(*missing.Value(), 0.5);
}

TEST(SegMeasureTest, ResultLargerThanReference) {
  const SegMeasure seg = Score({".11.."}, {"1111."});
  EXPECT_DOUBLE_EQ(*seg.Value(), 2.0 / 4.0);
}

TEST(SegMeasureTest, NoReferenceObjectsGiveNoValue) {
  EXPECT_FALSE(Score({"...."}, {"11.."}).Value());
  const SegMeasure seg = Score({"1111"}, {"1111"});
  EXPECT_EQ(*seg.Value(), 1.0);
}

TEST(SegMeasureTest, EvaluatesOnlyAnnotatedFramesAndSlices) {
  ScratchDir dir;
  const auto gt = dir.path() / "GT", res = dir.path() / "RES";
  // Three 3D frames of 2 slices; only frame 1 is annotated, on slice 1 alone.
  const testing::Drawing frame = {"11..", "11..", "", "..22", "..22"};
  testing::WriteResult(res, {frame, frame, frame}, "1 0 2 0\n2 0 2 0\n");
  std::filesystem::create_directories(gt / "SEG");
  WriteLabelImage(gt / "SEG" / "man_seg_001_001.tif", Draw<unsigned short>({"...3", "..33"}));
  const Evaluation e = Evaluate(gt, res);
  EXPECT_EQ(e.frames, 2u);
  EXPECT_EQ(e.seg_objects, 1u);
  EXPECT_DOUBLE_EQ(*e.seg, 3.0 / 4.0);
  EXPECT_FALSE(e.det);  // no markers: no DET, no TRA
  EXPECT_FALSE(e.tra);
}

TEST(SegMeasureTest, WholeFrameAnnotationsOfASequence) {
  ScratchDir dir;
  const auto gt = dir.path() / "GT", res = dir.path() / "RES";
  testing::WriteResult(res, {{"11.."}, {"111."}}, "1 0 1 0\n");
  testing::WriteFrames(gt / "SEG", "man_seg", {{"11.."}, {"11.."}});
  const Evaluation e = Evaluate(gt, res);
  EXPECT_DOUBLE_EQ(*e.seg, (1.0 + 2.0 / 3.0) / 2.0);
}

}  // namespace
}  // namespace trel::tool
