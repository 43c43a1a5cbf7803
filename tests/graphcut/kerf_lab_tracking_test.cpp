// The graph-cut tracking driver end to end on small synthetic sequences: masks whose labels are
// carried from frame to frame, no lineage file, and the refusals and failures of a run.
#include "trel/kerf_lab_tracking.h"

#include <gtest/gtest.h>

#include <fstream>

#include <cmath>
#include <filesystem>
#include <random>
#include <set>

#include "support/test_support.h"
#include "trel/error.h"
#include "voxa/image3d.h"

namespace {

using trel::testing::ScratchDir;
using voxa::Image3d;

void WriteDiscs(const ScratchDir& dir, int t, const std::vector<std::array<double, 2>>& centres,
                uint64_t ny = 48) {
  std::mt19937 rng(t + 7);
  std::normal_distribution<double> noise(0, 10);
  Image3d<unsigned short> frame;
  frame.MakeRoom(64, ny, 1);
  for (uint64_t y = 0; y < ny; ++y)
    for (uint64_t x = 0; x < 64; ++x) {
      bool inside = false;
      for (const auto& c : centres) inside |= std::hypot(x - c[0], y - c[1]) < 8;
      frame.SetVoxel(x, y, 0, static_cast<unsigned short>((inside ? 700 : 100) + noise(rng) + 20));
    }
  char name[32];
  snprintf(name, sizeof name, "t%03d.tif", t);
  frame.SaveImage((dir / name).c_str());
}

std::set<unsigned short> Labels(const std::string& name) {
  Image3d<unsigned short> mask;
  mask.ReadImage(name.c_str());
  std::set<unsigned short> labels(mask.begin(), mask.end());
  labels.erase(0);
  return labels;
}

TEST(KerfLabTracking, CarriesLabelsFromFrameToFrame) {
  ScratchDir in, out;
  for (int t = 0; t < 3; ++t) WriteDiscs(in, t, {{{16.0 + t, 16}}, {{44, 30.0 - t}}});
  std::ofstream(out / "res_track.txt") << "1 0 9 0\n";  // an earlier run's, gone with it
  std::vector<uint64_t> reported;
  trel::KerfLabTracking(in.path().c_str(), out.path().c_str(), 1, 3, 1.0f, 30.0f, 30.0f, 20, 10, 2,
                        [&](uint64_t i, uint64_t) { reported.push_back(i); });
  EXPECT_EQ(reported, (std::vector<uint64_t>{0, 1, 2}));
  for (const char* name : {"mask000.tif", "mask001.tif", "mask002.tif"})
    EXPECT_EQ(Labels(out / name), (std::set<unsigned short>{1, 2})) << name;
  EXPECT_FALSE(std::filesystem::exists(out / "res_track.txt"));
}

TEST(KerfLabTracking, NoFramesWritesNothing) {
  ScratchDir out;
  trel::KerfLabTracking("/no/such/folder", out.path().c_str(), 1, 0, 1.0f, 1.0f, 1.0f, 10, 0, 0);
  EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

TEST(KerfLabTracking, RefusesACurvatureWeightThatCannotDivide) {
  for (const float curv : {0.0f, -1.0f, NAN, INFINITY}) {
    try {
      trel::KerfLabTracking("/no/such/folder", "/tmp", 1, 1, curv, 1.0f, 1.0f, 10, 0, 0);
      ADD_FAILURE() << "accepted curv_weight " << curv;
    } catch (const trel::Error& e) {
      EXPECT_EQ(
          std::string(e.what()).rfind("Curvature weight must be a finite positive number!", 0), 0u)
          << e.what();
    }
  }
}

TEST(KerfLabTracking, RefusesAFrameOfAnotherSizeAndKeepsEarlierMasks) {
  ScratchDir in, out;
  WriteDiscs(in, 0, {{{30, 24}}});
  WriteDiscs(in, 1, {{{30, 24}}}, 50);
  try {
    trel::KerfLabTracking(in.path().c_str(), out.path().c_str(), 1, 2, 1.0f, 30.0f, 30.0f, 20, 10,
                          2);
    FAIL() << "frame 1 is larger";
  } catch (const trel::Error& e) {
    EXPECT_STREQ(e.what(),
                 "Frame i=1: Frame size differs from frame 0! (Expected=64x48x1,Loaded=64x50x1)");
  }
  EXPECT_TRUE(std::filesystem::exists(out / "mask000.tif"));
  EXPECT_FALSE(std::filesystem::exists(out / "mask001.tif"));
}

TEST(KerfLabTracking, AMissingFrameIsReportedUnchanged) {
  ScratchDir in, out;
  WriteDiscs(in, 0, {{{30, 24}}});
  try {
    trel::KerfLabTracking(in.path().c_str(), out.path().c_str(), 1, 2, 1.0f, 30.0f, 30.0f, 20, 10,
                          2);
    FAIL() << "frame 1 is missing";
  } catch (const trel::Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Frame i=1: Image data cannot be loaded! (", 0), 0u);
  }
}

}  // namespace
