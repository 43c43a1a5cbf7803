// Frames in memory: the level-set, graph-cut and diffusion loops give on arrays exactly what they
// write into a folder for the same frames (a small sequence of two moving, dividing discs in
// noise), and the array's bounds and sizes are checked.
#include "foundation/memory_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <vector>

#include "filtering/ced_filter_frames.h"
#include "foundation/frame_sequence.h"
#include "graphcut/kerf_track_frames.h"
#include "levelset/fls_track_frames.h"
#include "support/test_support.h"
#include "trel/error.h"

namespace {

using trel::testing::ScratchDir;

constexpr trel::FrameShape kShape{6, 1, 48, 64};

// Frame t: a disc that moves right and parts into two from frame 3 on, and one that stays.
std::vector<uint16_t> Sequence() {
  std::vector<uint16_t> voxels;
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0, 12);
  for (uint64_t t = 0; t < kShape.frames; ++t)
    for (uint64_t y = 0; y < kShape.rows; ++y)
      for (uint64_t x = 0; x < kShape.columns; ++x) {
        const double gap = t >= 3 ? 6.0 * double(t - 2) : 0.0;
        const bool inside = std::hypot(x - 18.0 - double(t), y - 16.0 - gap) < 8 ||
                            std::hypot(x - 18.0 - double(t), y - 16.0 + gap) < 8 ||
                            std::hypot(x - 48.0, y - 34.0) < 7;
        voxels.push_back(static_cast<uint16_t>((inside ? 800 : 150) + noise(rng)));
      }
  return voxels;
}

void WriteFolder(const ScratchDir& dir, const std::vector<uint16_t>& voxels) {
  const trel::FrameShape s = kShape;
  for (uint64_t t = 0; t < s.frames; ++t) {
    voxa::Image3d<unsigned short> frame;
    frame.MakeRoom(s.columns, s.rows, s.slices);
    std::copy(voxels.begin() + t * s.FrameVoxels(), voxels.begin() + (t + 1) * s.FrameVoxels(),
              frame.begin());
    char name[32];
    snprintf(name, sizeof name, "/t%03d.tif", static_cast<int>(t));
    frame.SaveImage((dir.path().string() + name).c_str());
  }
}

std::vector<uint16_t> ReadFolder(const ScratchDir& dir, const char* prefix) {
  std::vector<uint16_t> voxels;
  for (uint64_t t = 0; t < kShape.frames; ++t) {
    char name[32];
    snprintf(name, sizeof name, "/%s%03d.tif", prefix, static_cast<int>(t));
    voxa::Image3d<unsigned short> frame;
    frame.ReadImage((dir.path().string() + name).c_str());
    voxels.insert(voxels.end(), frame.begin(), frame.end());
  }
  return voxels;
}

std::string Lineage(const std::vector<trel::TrackRecord>& tracks) {
  std::string text;
  for (const trel::TrackRecord& r : tracks)
    text += std::to_string(r.label) + ' ' + std::to_string(r.first_frame) + ' ' +
            std::to_string(r.last_frame) + ' ' + std::to_string(r.parent) + '\n';
  return text;
}

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct MemoryFramesTest : ::testing::Test {
  void SetUp() override { WriteFolder(in, voxels); }
  const std::vector<uint16_t> voxels = Sequence();
  ScratchDir in, out;
  const trel::FrameSequence folder{in.path().c_str(), out.path().c_str(), 1, kShape.frames};
  const trel::MemoryFrames memory{voxels.data(), kShape};
};

TEST_F(MemoryFramesTest, TheLevelSetLoopGivesTheFolderRunsMasksAndLineage) {
  const trel::LevelSetParameters p{0.3f, 1, 1, 50, 20, 3, 0, 1};
  trel::FlsTrackFrames(folder, 1, kShape.frames, p);
  trel::FlsTrackFrames(memory, 1, kShape.frames, p);
  EXPECT_EQ(memory.Output(), ReadFolder(out, "mask"));
  EXPECT_EQ(Lineage(memory.Lineage()), ReadText(out / "res_track.txt"));
  EXPECT_NE(Lineage(memory.Lineage()).find(" 1\n"), std::string::npos) << "no division found";
}

TEST_F(MemoryFramesTest, TheGraphCutAndDiffusionLoopsGiveTheFolderRunsFrames) {
  trel::KerfTrack(folder, 1, kShape.frames, {1, 30, 30, 20, 20, 2});
  trel::KerfTrack(memory, 1, kShape.frames, {1, 30, 30, 20, 20, 2});
  EXPECT_EQ(memory.Output(), ReadFolder(out, "mask"));
  EXPECT_GT(std::count_if(memory.Output().begin(), memory.Output().end(),
                          [](uint16_t v) { return v != 0; }),
            int(kShape.frames) * 300);
  const trel::MemoryFrames filtered(voxels.data(), kShape);
  trel::CedFilterFrames<float>(folder, kShape.frames, 1, 4, 1, 3);
  trel::CedFilterFrames<float>(filtered, kShape.frames, 1, 4, 1, 3);
  EXPECT_EQ(filtered.Output(), ReadFolder(out, "t"));
}

TEST_F(MemoryFramesTest, FramesOutsideTheArrayOrOfAnotherSizeAreRefused) {
  voxa::Image3d<unsigned short> image;
  EXPECT_THROW(memory.LoadFrame(image, kShape.frames), trel::Error);
  image.MakeRoom(3, 3, 1);
  EXPECT_THROW(memory.SaveFrame(image, 0, "mask"), trel::Error);
}

}  // namespace
