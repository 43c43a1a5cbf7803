// The level-set tracking driver end to end on small synthetic sequences: outputs of a complete
// run, the lineage file of an empty run, failures that stop the run after the earlier masks, the
// refusal of frames of another size, and progress reports.
#include "trel/fls_lab_tracking.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "support/test_support.h"
#include "trel/error.h"
#include "voxa/image3d.h"

namespace {

using trel::testing::ScratchDir;
using voxa::Image3d;

struct Disc {
  double x, y, radius;
};

// A noisy frame with bright discs (stacks: balls of the same radius in every slice near z = 3).
void WriteFrame(const ScratchDir& dir, int t, const std::vector<Disc>& discs, uint64_t nx = 64,
                uint64_t ny = 56, uint64_t nz = 1) {
  std::mt19937 rng(t + 1);
  std::normal_distribution<double> noise(0, 15);
  Image3d<unsigned short> frame;
  frame.MakeRoom(nx, ny, nz);
  for (uint64_t z = 0; z < nz; ++z)
    for (uint64_t y = 0; y < ny; ++y)
      for (uint64_t x = 0; x < nx; ++x) {
        bool inside = false;
        for (const Disc& d : discs) {
          const double dz = nz > 1 ? (double(z) - 3.0) * 2.0 : 0.0;
          inside |= std::hypot(std::hypot(x - d.x, y - d.y), dz) < d.radius;
        }
        frame.SetVoxel(
            x, y, z, static_cast<unsigned short>(std::max(0.0, (inside ? 800 : 150) + noise(rng))));
      }
  char name[32];
  snprintf(name, sizeof name, "t%03d.tif", t);
  frame.SaveImage((dir / name).c_str());
}

std::string ReadText(const std::string& name) {
  std::ifstream in(name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::set<unsigned short> Labels(const std::string& name) {
  Image3d<unsigned short> mask;
  mask.ReadImage(name.c_str());
  std::set<unsigned short> labels(mask.begin(), mask.end());
  labels.erase(0);
  return labels;
}

void Track(const ScratchDir& in, const ScratchDir& out, uint64_t slices, uint64_t frames,
           const trel::ProgressCallback& progress = {}) {
  trel::FlsLabTracking(in.path().c_str(), out.path().c_str(), slices, frames, 1.0f, 1.0f, 1.0f, 100,
                       10, 2, 0, 1.0f, progress);
}

TEST(FlsLabTracking, TracksMovingCellsAndWritesTheLineage) {
  ScratchDir in, out;
  for (int t = 0; t < 3; ++t) WriteFrame(in, t, {{16.0 + t, 20, 7}, {44, 34.0 - t, 8}});
  std::vector<uint64_t> reported;
  Track(in, out, 1, 3, [&](uint64_t i, uint64_t n) {
    EXPECT_EQ(n, 3u);
    EXPECT_TRUE(std::filesystem::exists(out / ("mask00" + std::to_string(i) + ".tif")));
    reported.push_back(i);
  });
  EXPECT_EQ(reported, (std::vector<uint64_t>{0, 1, 2}));
  for (int t = 0; t < 3; ++t)
    EXPECT_EQ(Labels(out / ("mask00" + std::to_string(t) + ".tif")),
              (std::set<unsigned short>{1, 2}));
  EXPECT_EQ(ReadText(out / "res_track.txt"), "1 0 2 0\n2 0 2 0\n");
}

TEST(FlsLabTracking, TracksBallsInStacks) {
  ScratchDir in, out;
  for (int t = 0; t < 2; ++t) WriteFrame(in, t, {{20.0 + t, 20, 8}}, 40, 40, 7);
  Track(in, out, 7, 2);
  EXPECT_EQ(Labels(out / "mask001.tif"), (std::set<unsigned short>{1}));
  EXPECT_EQ(ReadText(out / "res_track.txt"), "1 0 1 0\n");
}

TEST(FlsLabTracking, AnEmptyRunStillWritesAnEmptyLineageFile) {
  ScratchDir out;
  trel::FlsLabTracking("/no/such/folder", out.path().c_str(), 1, 0, 1.0f, 1.0f, 1.0f, 10, 0, 0, 0,
                       1.0f);
  EXPECT_TRUE(std::filesystem::exists(out / "res_track.txt"));
  EXPECT_EQ(ReadText(out / "res_track.txt"), "");
}

TEST(FlsLabTracking, AMissingFrameLeavesTheEarlierMasksAndNoLineage) {
  ScratchDir in, out;
  for (int t = 0; t < 2; ++t) WriteFrame(in, t, {{30, 28, 8}});
  // An earlier run's lineage goes before the first new mask: beside new masks it would pass
  // for a whole result.
  std::ofstream(out / "res_track.txt") << "1 0 3 0\n";
  try {
    Track(in, out, 1, 4);
    FAIL() << "frame 2 is missing";
  } catch (const trel::Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Frame i=2: Image data cannot be loaded! (", 0), 0u);
  }
  EXPECT_TRUE(std::filesystem::exists(out / "mask001.tif"));
  EXPECT_FALSE(std::filesystem::exists(out / "mask002.tif"));
  EXPECT_FALSE(std::filesystem::exists(out / "res_track.txt"));
}

TEST(FlsLabTracking, RefusesAFrameOfAnotherSize) {
  ScratchDir in, out;
  WriteFrame(in, 0, {{30, 28, 8}});
  WriteFrame(in, 1, {{30, 28, 8}}, 64, 57);
  try {
    Track(in, out, 1, 2);
    FAIL() << "frame 1 is larger";
  } catch (const trel::Error& e) {
    EXPECT_STREQ(e.what(),
                 "Frame i=1: Frame size differs from frame 0! (Expected=64x56x1,Loaded=64x57x1)");
  }
  EXPECT_FALSE(std::filesystem::exists(out / "mask001.tif"));
}

TEST(FlsLabTracking, WrongSliceCountsAreReportedForTheFrame) {
  ScratchDir in, out;
  WriteFrame(in, 0, {{30, 28, 8}});
  try {
    Track(in, out, 3, 1);
    FAIL() << "frame 0 has one slice";
  } catch (const trel::Error& e) {
    EXPECT_STREQ(e.what(), "Frame i=0: Unexpected number of slices! (Expected=3,Loaded=1)");
  }
}

}  // namespace
