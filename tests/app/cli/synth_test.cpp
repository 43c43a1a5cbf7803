// The synthetic sequence generator: same seed same files, a ground truth that passes every rule
// and scores 1 against itself, divisions, entries and exits, 3D metadata, the requested SNR,
// and option errors.
#include "synthetic_sequence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>

#include "app/tool_fixture.h"
#include "evaluation.h"
#include "result_check.h"
#include "support/test_support.h"
#include "tool_error.h"
#include "track_file.h"
#include "voxa/voxel_type.h"

namespace trel::tool {
namespace {

using trel::testing::ScratchDir;

SynthOptions Small() {
  SynthOptions o;
  o.size = 96;
  o.frames = 8;
  o.cells = 6;
  o.divisions = 6;
  o.seed = 3;
  return o;
}

std::string Bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SynthTest, SameSeedSameFilesOtherSeedOtherFiles) {
  ScratchDir dir;
  const SynthOptions o = Small();
  WriteSyntheticSequence(o, dir.path() / "a", nullptr);
  WriteSyntheticSequence(o, dir.path() / "b", nullptr);
  SynthOptions other = o;
  other.seed = 4;
  WriteSyntheticSequence(other, dir.path() / "c", nullptr);
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path() / "a")) {
    if (!entry.is_regular_file()) continue;
    const auto relative = std::filesystem::relative(entry.path(), dir.path() / "a");
    EXPECT_EQ(Bytes(entry.path()), Bytes(dir.path() / "b" / relative)) << relative;
    ++files;
  }
  EXPECT_EQ(files, 3 * 8 + 1);
  EXPECT_NE(Bytes(dir.path() / "a/01/t005.tif"), Bytes(dir.path() / "c/01/t005.tif"));
}

TEST(SynthTest, GroundTruthPassesEveryRuleAndScoresOneAgainstItself) {
  ScratchDir dir;
  const SynthSummary s = WriteSyntheticSequence(Small(), dir.path(), nullptr);
  EXPECT_GT(s.tracks, 0u);
  const auto gt = dir.path() / "01_GT";
  testing::GroundTruthAsResult(gt, "SEG", "man_seg", dir.path() / "res");
  std::vector<std::string> reports;
  for (const Violation& v : CheckResultFolder(dir.path() / "res", gt))
    reports.push_back(FormatViolation(v));
  EXPECT_TRUE(reports.empty()) << reports.front();
  const Evaluation e = Evaluate(gt, dir.path() / "res");
  EXPECT_EQ(*e.seg, 1.0);
  EXPECT_EQ(*e.det, 1.0);
  EXPECT_EQ(*e.tra, 1.0);
  EXPECT_EQ(*e.bio->ct, 1.0);
  EXPECT_EQ(e.seg_objects, s.objects);
  // The markers are the full masks.
  for (uint64_t t = 0; t < 8; ++t)
    EXPECT_EQ(Bytes(FrameFiles(gt / "SEG", "man_seg").Name(t)),
              Bytes(FrameFiles(gt / "TRA", "man_track").Name(t)));
}

TEST(SynthTest, ShorterRunReplacesALongerOne) {
  ScratchDir dir;
  SynthOptions o = Small();
  WriteSyntheticSequence(o, dir.path(), nullptr);
  o.frames = 3;
  WriteSyntheticSequence(o, dir.path(), nullptr);
  EXPECT_EQ(FrameFiles(dir.path() / "01", "t").CountFrames(), 3u);
  EXPECT_EQ(FrameFiles(dir.path() / "01_GT/SEG", "man_seg").CountFrames(), 3u);
  EXPECT_EQ(FrameFiles(dir.path() / "01_GT/TRA", "man_track").CountFrames(), 3u);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "01/t003.tif"));
}

TEST(SynthTest, DivisionsEntriesAndExits) {
  ScratchDir dir;
  SynthOptions o = Small();
  o.size = 128;
  o.frames = 30;
  o.cells = 10;
  o.divisions = 10;
  const SynthSummary s = WriteSyntheticSequence(o, dir.path(), nullptr);
  const std::vector<TrackLine> tracks = ReadTrackFile(dir.path() / "01_GT/TRA/man_track.txt");
  std::map<uint64_t, const TrackLine*> by_label;
  std::map<uint64_t, int> daughters;
  for (const TrackLine& t : tracks) by_label[t.label] = &t;
  int entered = 0, left = 0;
  for (const TrackLine& t : tracks) {
    if (t.parent) {
      ++daughters[t.parent];
      // A daughter begins in the frame right after its mother's last one.
      EXPECT_EQ(t.begin, by_label.at(t.parent)->end + 1) << t.label;
    }
    if (t.begin > 0 && t.parent == 0) ++entered;
  }
  for (const TrackLine& t : tracks)
    if (t.end + 1 < o.frames && daughters[t.label] == 0) ++left;
  for (const auto& [parent, count] : daughters) EXPECT_LE(count, 2) << parent;
  EXPECT_GE(s.divisions, 3u);
  EXPECT_GE(entered, 1);
  EXPECT_GE(left, 1);
}

TEST(SynthTest, NoDivisionsWhenAskedForNone) {
  ScratchDir dir;
  SynthOptions o = Small();
  o.divisions = 0;
  o.frames = 12;
  EXPECT_EQ(WriteSyntheticSequence(o, dir.path(), nullptr).divisions, 0u);
  for (const TrackLine& t : ReadTrackFile(dir.path() / "01_GT/TRA/man_track.txt"))
    EXPECT_EQ(t.parent, 0u);
}

TEST(SynthTest, StacksCarryTheirVoxelSizeAndEightBitFramesAreEightBit) {
  ScratchDir dir;
  SynthOptions o = Small();
  o.dim = 3;
  o.size = 48;
  o.depth = 10;
  o.frames = 3;
  o.z_spacing = 2.5;
  o.bits = 8;
  WriteSyntheticSequence(o, dir.path(), nullptr);
  const std::string frame = (dir.path() / "01/t001.tif").string();
  EXPECT_EQ(voxa::ReadImageType(frame.c_str(), 0), voxa::kVoxelGray8);
  LabelImage labels;
  ReadLabelImage(dir.path() / "01_GT/SEG/man_seg001.tif", labels);
  EXPECT_EQ(labels.GetSizeZ(), 10u);
  EXPECT_FLOAT_EQ(labels.GetResolution().GetRes()[2], 1.0f / 2.5f);
  EXPECT_FLOAT_EQ(labels.GetResolution().GetRes()[0], 1.0f);
  voxa::Image3d<unsigned char> raw;
  raw.ReadImage(frame.c_str());
  EXPECT_FLOAT_EQ(raw.GetResolution().GetRes()[2], 1.0f / 2.5f);
  testing::GroundTruthAsResult(dir.path() / "01_GT", "TRA", "man_track", dir.path() / "res");
  EXPECT_TRUE(CheckResultFolder(dir.path() / "res", dir.path() / "01_GT").empty());
  const Evaluation e = Evaluate(dir.path() / "01_GT", dir.path() / "res");
  EXPECT_EQ(*e.seg, 1.0);
  EXPECT_EQ(*e.tra, 1.0);
}

// Mean nucleus contrast over the standard deviation of the background far from nuclei.
double MeasuredSnr(const std::filesystem::path& data, uint64_t t) {
  LabelImage frame, labels;
  ReadLabelImage(FrameFiles(data / "01", "t").Name(t), frame);
  ReadLabelImage(FrameFiles(data / "01_GT/SEG", "man_seg").Name(t), labels);
  const int64_t w = static_cast<int64_t>(frame.GetSizeX()),
                h = static_cast<int64_t>(frame.GetSizeY());
  constexpr int64_t kMargin = 6;
  double fg = 0, nfg = 0, bg = 0, bg2 = 0, nbg = 0;
  for (int64_t y = 0; y < h; ++y)
    for (int64_t x = 0; x < w; ++x) {
      const double v = frame.GetVoxel(x, y, 0);
      if (labels.GetVoxel(x, y, 0)) {
        fg += v;
        ++nfg;
        continue;
      }
      bool near = false;
      for (int64_t dy = -kMargin; dy <= kMargin && !near; ++dy)
        for (int64_t dx = -kMargin; dx <= kMargin && !near; ++dx)
          near = x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h &&
                 labels.GetVoxel(x + dx, y + dy, 0) != 0;
      if (near) continue;
      bg += v;
      bg2 += v * v;
      ++nbg;
    }
  const double mean_bg = bg / nbg;
  return (fg / nfg - mean_bg) / std::sqrt(bg2 / nbg - mean_bg * mean_bg);
}

TEST(SynthTest, MeasuredSnrFollowsTheOption) {
  ScratchDir dir;
  for (double snr : {3.0, 6.0, 12.0}) {
    SynthOptions o;  // the default scene: the calibration holds for nuclei of the default size
    o.frames = 1;
    o.snr = snr;
    const auto out = dir.path() / std::to_string(static_cast<int>(snr));
    WriteSyntheticSequence(o, out, nullptr);
    EXPECT_NEAR(MeasuredSnr(out, 0), snr, 0.15 * snr) << snr;
  }
}

TEST(SynthTest, RefusesInconsistentOptions) {
  ScratchDir dir;
  const std::vector<std::pair<std::function<void(SynthOptions&)>, std::string>> cases = {
      {[](SynthOptions& o) { o.dim = 4; }, "--dim must be 2 or 3"},
      {[](SynthOptions& o) { o.bits = 12; }, "--bits must be 8 or 16"},
      {[](SynthOptions& o) { o.size = 8; }, "--size must be at least 16"},
      {[](SynthOptions& o) { o.depth = 5; }, "--depth applies to 3D sequences only (use --dim 3)"},
      {[](SynthOptions& o) { o.dim = 3, o.depth = 1; },
       "--depth must be at least 2 for a 3D sequence"},
      {[](SynthOptions& o) { o.frames = 0; }, "--frames must be at least 1"},
      {[](SynthOptions& o) { o.snr = 0; }, "--snr must be > 0"},
      {[](SynthOptions& o) { o.divisions = -1; }, "--divisions must be >= 0"},
      {[](SynthOptions& o) { o.z_spacing = 0; }, "--z-spacing must be > 0"},
  };
  for (const auto& [change, message] : cases) {
    SynthOptions o = Small();
    change(o);
    try {
      WriteSyntheticSequence(o, dir.path(), nullptr);
      ADD_FAILURE() << message;
    } catch (const ToolError& e) {
      EXPECT_EQ(e.code(), kExitUsage);
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "01"));
}

}  // namespace
}  // namespace trel::tool
