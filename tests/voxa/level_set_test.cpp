// The two Chan-Vese routines on the two-list level set: hand-drawn images whose result is known
// voxel for voxel, the label rules of the multi-label routine (labels part only where a seam or a
// neck parts them, no new label, a label on background vanishes), noisy discs and balls recovered
// by the Jaccard index, convergence within the iteration bound, the result types of Mask, and the
// argument checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"
#include "voxa/exceptions.h"
#include "voxa/fls.h"
#include "voxa/image3d.h"

namespace {

using trel::testing::Draw;
using trel::testing::Picture;
using voxa::Image3d;
using voxa::fls::ResultCreator;
using voxa::fls::Routine;
using RoutinePtr = std::unique_ptr<Routine<int>>;

constexpr int kSmoothingSweeps = 2;
constexpr size_t kMaxIter = 200;

struct Weights {
  float curv = 0, fg = 1, bg = 1;
};

RoutinePtr TwoPhase(const Image3d<float>& speed, const Image3d<bool>& start, Weights w = {},
                    const Image3d<bool>* mutable_mask = nullptr,
                    int smoothing_sweeps = kSmoothingSweeps) {
  RoutinePtr r(voxa::fls::GlobChanVeseRoutine(speed, start, mutable_mask, false, smoothing_sweeps,
                                              w.curv, w.fg, w.bg));
  r->Initialize();
  return r;
}

RoutinePtr MultiLabel(const Image3d<float>& speed, const Image3d<unsigned short>& start,
                      Weights w = {}) {
  RoutinePtr r(voxa::fls::LabGlobChanVeseRoutine(speed, start, nullptr, kSmoothingSweeps, w.curv,
                                                 w.fg, w.bg, false));
  r->Initialize();
  return r;
}

Image3d<bool> MaskOf(const Routine<int>& r, const Image3d<float>& geometry,
                     ResultCreator::ResType type = ResultCreator::kForeground,
                     bool invert = false) {
  Image3d<bool> mask;
  mask.MakeRoom(geometry.GetSizeX(), geometry.GetSizeY(), geometry.GetSizeZ());
  r.Mask(mask.begin(), type, invert);
  return mask;
}

Image3d<unsigned short> LabelsOf(const Routine<int>& r, const Image3d<float>& geometry) {
  Image3d<unsigned short> labels;
  labels.MakeRoom(geometry.GetSizeX(), geometry.GetSizeY(), geometry.GetSizeZ());
  r.Labels(labels.begin(), false);
  return labels;
}

// A bright ball (disc when nz == 1) of `radius` on a dark background with Gaussian noise.
Image3d<float> NoisyBall(uint64_t n, uint64_t nz, double radius, double noise, unsigned seed,
                         Image3d<bool>* truth = nullptr) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> gauss(0.0f, static_cast<float>(noise));
  Image3d<float> speed;
  speed.MakeRoom(n, n, nz);
  if (truth) truth->MakeRoom(n, n, nz);
  const double c = (n - 1) / 2.0, cz = (nz - 1) / 2.0;
  for (uint64_t z = 0; z < nz; ++z)
    for (uint64_t y = 0; y < n; ++y)
      for (uint64_t x = 0; x < n; ++x) {
        const double d = std::hypot(x - c, y - c, nz > 1 ? z - cz : 0.0);
        const bool inside = d <= radius;
        speed.SetVoxel(x, y, z, (inside ? 1.0f : 0.0f) + gauss(rng));
        if (truth) truth->SetVoxel(x, y, z, inside);
      }
  return speed;
}

// A centred box of half-width h as a start mask.
Image3d<bool> CentreBox(const Image3d<float>& geometry, uint64_t h) {
  Image3d<bool> mask;
  mask.MakeRoom(geometry.GetSizeX(), geometry.GetSizeY(), geometry.GetSizeZ());
  const uint64_t cx = geometry.GetSizeX() / 2, cy = geometry.GetSizeY() / 2,
                 cz = geometry.GetSizeZ() / 2;
  for (uint64_t z = 0; z < geometry.GetSizeZ(); ++z)
    for (uint64_t y = 0; y < geometry.GetSizeY(); ++y)
      for (uint64_t x = 0; x < geometry.GetSizeX(); ++x) {
        const bool in_z = geometry.GetSizeZ() == 1 || (z + h >= cz && z <= cz + h);
        mask.SetVoxel(x, y, z, in_z && x + h >= cx && x <= cx + h && y + h >= cy && y <= cy + h);
      }
  return mask;
}

double Jaccard(const Image3d<bool>& a, const Image3d<bool>& b) {
  uint64_t both = 0, either = 0;
  for (uint64_t i = 0; i < a.GetImageSize(); ++i) {
    both += a.GetVoxel(i) && b.GetVoxel(i);
    either += a.GetVoxel(i) || b.GetVoxel(i);
  }
  return either ? double(both) / double(either) : 1.0;
}

TEST(GlobChanVese, GrowsFromOneVoxelToTheBrightRectangle) {
  const Image3d<float> speed = Draw<float>({
      "..........",
      "..99999...",
      "..99999...",
      "..99999...",
      "..........",
  });
  const Image3d<bool> start = Draw<bool>({
      "..........",
      "..........",
      "....1.....",
      "..........",
      "..........",
  });
  RoutinePtr r = TwoPhase(speed, start);
  EXPECT_LT(r->IterateUntilConvergence(kMaxIter), kMaxIter);
  EXPECT_EQ(Picture(MaskOf(*r, speed)), (std::vector<std::string>{
                                            "..........",
                                            "..11111...",
                                            "..11111...",
                                            "..11111...",
                                            "..........",
                                        }));
}

TEST(GlobChanVese, ShrinksAStartMaskThatOverflowsTheObject) {
  const Image3d<float> speed = Draw<float>({
      "........",
      "........",
      "..999...",
      "..999...",
      "........",
      "........",
  });
  const Image3d<bool> start = Draw<bool>({
      "........",
      ".11111..",
      ".11111..",
      ".11111..",
      ".11111..",
      "........",
  });
  RoutinePtr r = TwoPhase(speed, start);
  r->IterateUntilConvergence(kMaxIter);
  EXPECT_EQ(Picture(MaskOf(*r, speed)), (std::vector<std::string>{
                                            "........",
                                            "........",
                                            "..111...",
                                            "..111...",
                                            "........",
                                            "........",
                                        }));
}

TEST(GlobChanVese, MaskReportsEachPartOfTheTwoListLevelSet) {
  const Image3d<float> speed = Draw<float>({
      ".....",
      ".999.",
      ".999.",
      ".999.",
      ".....",
  });
  const Image3d<bool> start = Draw<bool>({
      ".....",
      ".111.",
      ".111.",
      ".111.",
      ".....",
  });
  RoutinePtr r = TwoPhase(speed, start);
  using Rows = std::vector<std::string>;
  EXPECT_EQ(Picture(MaskOf(*r, speed, ResultCreator::kForeground)), Picture(start));
  EXPECT_EQ(Picture(MaskOf(*r, speed, ResultCreator::kInterior)),
            (Rows{".....", ".....", "..1..", ".....", "....."}));
  EXPECT_EQ(Picture(MaskOf(*r, speed, ResultCreator::kInnerBoundary)),
            (Rows{".....", ".111.", ".1.1.", ".111.", "....."}));
  EXPECT_EQ(Picture(MaskOf(*r, speed, ResultCreator::kOuterBoundary)),
            (Rows{".111.", "1...1", "1...1", "1...1", ".111."}));
  EXPECT_EQ(Picture(MaskOf(*r, speed, ResultCreator::kForeground, true)),
            (Rows{"11111", "1...1", "1...1", "1...1", "11111"}));
}

TEST(GlobChanVese, VoxelsOutsideTheMutableMaskKeepTheirSide) {
  const Image3d<float> speed = Draw<float>({
      "........",
      ".999999.",
      ".999999.",
      "........",
  });
  const Image3d<bool> start = Draw<bool>({
      "........",
      "..1.....",
      "........",
      "......1.",
  });
  const Image3d<bool> mutable_mask = Draw<bool>({
      "1111....",
      "1111....",
      "1111....",
      "1111....",
  });
  RoutinePtr r = TwoPhase(speed, start, {}, &mutable_mask);
  r->IterateUntilConvergence(kMaxIter);
  EXPECT_EQ(Picture(MaskOf(*r, speed)), (std::vector<std::string>{
                                            "........",
                                            ".111....",
                                            ".111....",
                                            "......1.",
                                        }));
}

TEST(GlobChanVese, FixedMeansKeepTheStartContrast) {
  const Image3d<float> speed = Draw<float>({
      "................",
      "..2222....9999..",
      "..2222....9999..",
      "................",
  });
  const Image3d<bool> start = Draw<bool>({
      "................",
      "..111111111111..",
      "..111111111111..",
      "................",
  });
  // Start means 88 / 24 and 0: the level 2 lies above their midpoint. Once the zeros have left,
  // the followed means put the midpoint at 2.75 and the level 2 leaves too.
  for (const bool fixed : {true, false}) {
    RoutinePtr r(
        voxa::fls::GlobChanVeseRoutine(speed, start, nullptr, fixed, kSmoothingSweeps, 0, 1, 1));
    r->Initialize();
    r->IterateUntilConvergence(kMaxIter);
    EXPECT_EQ(Picture(MaskOf(*r, speed))[1], fixed ? "..1111....1111.." : "..........1111..");
  }
}

TEST(GlobChanVese, RecoversANoisyDiscAndConvergesWithinTheBound) {
  for (const unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    Image3d<bool> truth;
    const Image3d<float> speed = NoisyBall(128, 1, 30, 0.35, seed, &truth);
    RoutinePtr r = TwoPhase(speed, CentreBox(speed, 8), {0.3f, 1, 1});
    EXPECT_LT(r->IterateUntilConvergence(kMaxIter), kMaxIter);
    EXPECT_GT(Jaccard(MaskOf(*r, speed), truth), 0.95);
    // Converged: going on changes (almost) nothing, in a few iterations of each of its passes
    // (the shared level, then the own levels).
    const Image3d<bool> before = MaskOf(*r, speed);
    EXPECT_LE(r->IterateUntilConvergence(kMaxIter), 2 * 5u);
    EXPECT_GT(Jaccard(MaskOf(*r, speed), before), 0.995);
  }
}

TEST(LabGlobChanVese, BoundariesThatOnlyFlickerInTheNoiseHaveConverged) {
  // Many faint labels in strong noise: each outline keeps flipping a few voxels between the data
  // and the smoothing without getting anywhere. The flickers of different labels never fall
  // into step, so the whole state never repeats, and yet the evolution must end.
  for (const unsigned seed : {1u, 2u}) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 0.45f);
    Image3d<float> speed;
    speed.MakeRoom(80, 80, 20);
    Image3d<unsigned short> start;
    start.MakeRoom(80, 80, 20);
    for (uint64_t z = 0; z < 20; ++z)
      for (uint64_t y = 0; y < 80; ++y)
        for (uint64_t x = 0; x < 80; ++x) {
          const uint64_t cell = (y / 20) * 4 + x / 20;
          const bool inside = std::hypot(x % 20 - 9.5, y % 20 - 9.5, z - 9.5) < 7;
          const float contrast = 0.5f + 0.1f * static_cast<float>(cell % 7);
          speed.SetVoxel(x, y, z, (inside ? contrast : 0.0f) + noise(rng));
          start.SetVoxel(x, y, z, inside ? static_cast<unsigned short>(1 + cell) : 0);
        }
    RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
    EXPECT_LT(r->IterateUntilConvergence(500), 40u);
    uint64_t agree = 0;
    const Image3d<unsigned short> labels = LabelsOf(*r, speed);
    for (uint64_t i = 0; i < labels.GetImageSize(); ++i)
      agree += labels.GetVoxel(i) == start.GetVoxel(i);
    EXPECT_GT(double(agree) / double(labels.GetImageSize()), 0.97);
  }
}

TEST(GlobChanVese, CurvatureRemovesIsolatedNoiseThatTheDataAloneKeep) {
  Image3d<bool> truth;
  const Image3d<float> speed = NoisyBall(96, 1, 20, 0.6, 7, &truth);
  auto stray = [&](const Image3d<bool>& mask) {
    uint64_t n = 0;
    for (uint64_t i = 0; i < mask.GetImageSize(); ++i) n += mask.GetVoxel(i) && !truth.GetVoxel(i);
    return n;
  };
  // Start from the noisy threshold itself: speckles everywhere.
  Image3d<bool> start;
  start.MakeRoom(96, 96, 1);
  for (uint64_t i = 0; i < start.GetImageSize(); ++i) start.SetVoxel(i, speed.GetVoxel(i) > 0.5f);
  RoutinePtr plain = TwoPhase(speed, start, {0, 1, 1});
  plain->IterateUntilConvergence(kMaxIter);
  // The curvature term alone (no smoothing sweeps, so a larger weight), then with the smoothing
  // cycle.
  for (const auto& [sweeps, curv] : {std::pair{0, 4.0f}, std::pair{kSmoothingSweeps, 0.5f}}) {
    SCOPED_TRACE(sweeps);
    RoutinePtr smooth = TwoPhase(speed, start, {curv, 1, 1}, nullptr, sweeps);
    smooth->IterateUntilConvergence(kMaxIter);
    EXPECT_LT(stray(MaskOf(*smooth, speed)) * 10, stray(MaskOf(*plain, speed)));
    EXPECT_GT(Jaccard(MaskOf(*smooth, speed), truth), sweeps ? 0.9 : 0.75);
  }
}

TEST(GlobChanVese, RecoversANoisyBallInAStack) {
  Image3d<bool> truth;
  const Image3d<float> speed = NoisyBall(40, 24, 8, 0.35, 11, &truth);
  RoutinePtr r = TwoPhase(speed, CentreBox(speed, 2), {0.3f, 1, 1});
  EXPECT_LT(r->IterateUntilConvergence(kMaxIter), kMaxIter);
  EXPECT_GT(Jaccard(MaskOf(*r, speed), truth), 0.89);
}

TEST(GlobChanVese, EdgeCases) {
  // An empty image: nothing to do, nothing written.
  Image3d<float> empty_speed;
  Image3d<bool> empty_mask;
  RoutinePtr e = TwoPhase(empty_speed, empty_mask);
  EXPECT_EQ(e->IterateUntilConvergence(10), 1u);
  // A flat image has no brighter phase: the foreground vanishes.
  const Image3d<float> flat = Draw<float>({"5555", "5555", "5555"});
  RoutinePtr f = TwoPhase(flat, Draw<bool>({"....", ".11.", "...."}));
  f->IterateUntilConvergence(kMaxIter);
  EXPECT_EQ(Picture(MaskOf(*f, flat)), (std::vector<std::string>{"....", "....", "...."}));
  // One voxel, bright, started as foreground with no background at all.
  const Image3d<float> one = Draw<float>({"9"});
  RoutinePtr o = TwoPhase(one, Draw<bool>({"1"}));
  o->IterateUntilConvergence(kMaxIter);
  EXPECT_EQ(Picture(MaskOf(*o, one)), (std::vector<std::string>{"."}));
  // max_iter 0 leaves the start as it is.
  const Image3d<float> bar = Draw<float>({"9999"});
  RoutinePtr z = TwoPhase(bar, Draw<bool>({"1..."}));
  EXPECT_EQ(z->IterateUntilConvergence(0), 0u);
  EXPECT_EQ(Picture(MaskOf(*z, bar)), (std::vector<std::string>{"1..."}));
}

TEST(GlobChanVese, InitializeStartsOverFromTheStartMask) {
  const Image3d<float> speed = NoisyBall(48, 1, 12, 0.2, 5);
  const Image3d<bool> start = CentreBox(speed, 3);
  RoutinePtr r = TwoPhase(speed, start);
  r->IterateUntilConvergence(kMaxIter);
  const Image3d<bool> first = MaskOf(*r, speed);
  EXPECT_NE(Picture(first), Picture(start));
  r->Initialize();
  EXPECT_EQ(Picture(MaskOf(*r, speed)), Picture(start));
  r->IterateUntilConvergence(kMaxIter);
  EXPECT_EQ(Picture(MaskOf(*r, speed)), Picture(first));  // deterministic
}

// The column between the labels is a seam a little dimmer than the object, which the data
// alone would give to either label.
TEST(LabGlobChanVese, TwoLabelsGrowingTowardsEachOtherStopOneVoxelApart) {
  const Image3d<float> speed = Draw<float>({
      ".............",
      ".99999699999.",
      ".99999699999.",
      ".99999699999.",
      ".............",
  });
  const Image3d<unsigned short> start = Draw<unsigned short>({
      ".............",
      ".1.........2.",
      ".1.........2.",
      ".1.........2.",
      ".............",
  });
  RoutinePtr r = MultiLabel(speed, start);
  EXPECT_LT(r->IterateUntilConvergence(kMaxIter), kMaxIter);
  EXPECT_EQ(Picture(LabelsOf(*r, speed)), (std::vector<std::string>{
                                              ".............",
                                              ".11111.22222.",
                                              ".11111.22222.",
                                              ".11111.22222.",
                                              ".............",
                                          }));
  EXPECT_EQ(Picture(MaskOf(*r, speed)), (std::vector<std::string>{
                                            ".............",
                                            ".11111.11111.",
                                            ".11111.11111.",
                                            ".11111.11111.",
                                            ".............",
                                        }));
}

TEST(LabGlobChanVese, DiagonalLabelsDoNotJoinThroughTheirCommonCorner) {
  const Image3d<float> speed = Draw<float>({
      "....",
      ".95.",
      ".59.",
      "....",
  });
  const Image3d<unsigned short> start = Draw<unsigned short>({
      "....",
      ".1..",
      "..2.",
      "....",
  });
  RoutinePtr r = MultiLabel(speed, start);
  r->IterateUntilConvergence(kMaxIter);
  EXPECT_EQ(Picture(LabelsOf(*r, speed)), Picture(start));
}

TEST(LabGlobChanVese, TouchingBlobsStayTwoLabels) {
  // Two overlapping bright discs (one connected object), one seed label in each.
  Image3d<float> speed;
  speed.MakeRoom(80, 50, 1);
  Image3d<unsigned short> start;
  start.MakeRoom(80, 50, 1);
  start.SetAllVoxels(0);
  std::mt19937 rng(3);
  std::normal_distribution<float> noise(0.0f, 0.2f);
  for (uint64_t y = 0; y < 50; ++y)
    for (uint64_t x = 0; x < 80; ++x) {
      const bool left = std::hypot(x - 26.0, y - 25.0) <= 15,
                 right = std::hypot(x - 52.0, y - 25.0) <= 15;
      speed.SetVoxel(x, y, 0, (left || right ? 1.0f : 0.0f) + noise(rng));
      if (std::hypot(x - 24.0, y - 25.0) <= 4) start.SetVoxel(x, y, 0, 4);
      if (std::hypot(x - 54.0, y - 25.0) <= 4) start.SetVoxel(x, y, 0, 9);
    }
  RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
  r->IterateUntilConvergence(kMaxIter);
  const Image3d<unsigned short> labels = LabelsOf(*r, speed);
  uint64_t count4 = 0, count9 = 0;
  for (uint64_t y = 1; y + 1 < 50; ++y)
    for (uint64_t x = 1; x + 1 < 80; ++x) {
      const unsigned short l = labels.GetVoxel(x, y, 0);
      count4 += l == 4;
      count9 += l == 9;
      if (l == 0) continue;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const unsigned short m = labels.GetVoxel(x + dx, y + dy, 0);
          ASSERT_TRUE(m == 0 || m == l)
              << "labels " << l << " and " << m << " touch at " << x << "," << y;
        }
    }
  // Each label fills most of its own disc (area about 700 voxels).
  EXPECT_GT(count4, 550u);
  EXPECT_GT(count9, 550u);
}

// A cell whose parts became labels of their own in earlier frames: where nothing darker parts
// them, they are one object again, under the oldest (smallest) label. A part three times as bright
// as its neighbour is another object and keeps its label.
TEST(LabGlobChanVese, PartsOfOneCellWithNoSeamBetweenThemJoin) {
  for (const float right : {1.0f, 3.5f}) {
    SCOPED_TRACE("brightness of the right part " + std::to_string(right));
    Image3d<float> speed;
    speed.MakeRoom(80, 15, 1);
    Image3d<unsigned short> start;
    start.MakeRoom(80, 15, 1);
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    for (uint64_t y = 0; y < 15; ++y)
      for (uint64_t x = 0; x < 80; ++x) {
        const bool bar = x >= 5 && x < 75 && y >= 4 && y < 11;
        speed.SetVoxel(x, y, 0, (bar ? (x < 46 ? 1.0f : right) : 0.0f) + noise(rng));
        start.SetVoxel(x, y, 0, !bar ? 0 : x < 25 ? 2 : x == 25 ? 0 : x < 45 ? 1 : x == 45 ? 0 : 3);
      }
    RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
    r->IterateUntilConvergence(kMaxIter);
    const Image3d<unsigned short> labels = LabelsOf(*r, speed);
    std::set<unsigned short> found;
    for (uint64_t x = 6; x < 74; ++x) found.insert(labels.GetVoxel(x, 7, 0));
    found.erase(0);  // the line that parts distinct parts
    const std::set<unsigned short> expected =
        right == 1.0f ? std::set<unsigned short>{1} : std::set<unsigned short>{1, 3};
    EXPECT_EQ(found, expected);
  }
}

TEST(LabGlobChanVese, ALabelSeededOnBackgroundVanishes) {
  Image3d<bool> truth;
  const Image3d<float> speed = NoisyBall(64, 1, 14, 0.25, 9, &truth);
  Image3d<unsigned short> start;
  start.MakeRoom(64, 64, 1);
  start.SetAllVoxels(0);
  for (uint64_t y = 28; y < 36; ++y)
    for (uint64_t x = 28; x < 36; ++x) start.SetVoxel(x, y, 0, 5);  // on the disc
  for (uint64_t y = 2; y < 9; ++y)
    for (uint64_t x = 2; x < 9; ++x) start.SetVoxel(x, y, 0, 8);  // on the background
  RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
  r->IterateUntilConvergence(kMaxIter);
  const Image3d<unsigned short> labels = LabelsOf(*r, speed);
  Image3d<bool> five;
  five.MakeRoom(64, 64, 1);
  for (uint64_t i = 0; i < labels.GetImageSize(); ++i) {
    ASSERT_NE(labels.GetVoxel(i), 8);
    five.SetVoxel(i, labels.GetVoxel(i) == 5);
  }
  EXPECT_GT(Jaccard(five, truth), 0.95);
}

// Two discs of radius 12 centred at x = 22 and 66 on a 90 x 40 image (background 0.1, noise
// 0.01), seeded with labels 1 and 2 within radius 10; `above(x, y, left, right)` is a voxel's
// value above the background, `left` and `right` telling whether it lies in either disc.
struct SeededDiscs {
  Image3d<float> speed;
  Image3d<unsigned short> start;
};

template <class Above>
SeededDiscs SeedDiscPair(unsigned seed, Above above) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 0.01f);
  SeededDiscs d;
  d.speed.MakeRoom(90, 40, 1);
  d.start.MakeRoom(90, 40, 1);
  for (uint64_t y = 0; y < 40; ++y)
    for (uint64_t x = 0; x < 90; ++x) {
      const double a = std::hypot(x - 22.0, y - 20.0), b = std::hypot(x - 66.0, y - 20.0);
      d.speed.SetVoxel(x, y, 0, 0.1f + above(double(x), double(y), a < 12, b < 12) + noise(rng));
      d.start.SetVoxel(x, y, 0, a < 10 ? 1 : b < 10 ? 2 : 0);
    }
  return d;
}

TEST(LabGlobChanVese, OwnMeansKeepADimNucleusThatACommonMeanLoses) {
  // A bright and a dim disc (1 and 0.08 above the background), each with its own label.
  const auto [speed, start] = SeedDiscPair(12, [](double, double, bool left, bool right) {
    return left ? 1.0f : right ? 0.08f : 0.0f;
  });
  for (const bool shared : {false, true}) {
    RoutinePtr r(voxa::fls::LabGlobChanVeseRoutine(speed, start, nullptr, kSmoothingSweeps, 0.3f, 1,
                                                   1, shared));
    r->Initialize();
    r->IterateUntilConvergence(kMaxIter);
    const Image3d<unsigned short> labels = LabelsOf(*r, speed);
    uint64_t dim = 0, bright = 0;
    for (const unsigned short l : labels) {
      bright += l == 1;
      dim += l == 2;
    }
    EXPECT_NEAR(double(bright), M_PI * 144, 40.0);  // the bright disc either way
    if (shared)
      EXPECT_EQ(dim, 0u);
    else
      EXPECT_NEAR(double(dim), M_PI * 144, 40.0);
  }
}

// The two-phase routine's shared level loses the dim disc as the multi-label one's does above;
// it then goes on with a level per object, the dim disc among them.
TEST(GlobChanVese, ADimDiscBesideABrightOneIsKept) {
  const auto [speed, seeds] = SeedDiscPair(12, [](double, double, bool left, bool right) {
    return left ? 1.0f : right ? 0.08f : 0.0f;
  });
  Image3d<bool> start;
  start.MakeRoom(speed.GetSizeX(), speed.GetSizeY(), 1);
  std::transform(seeds.begin(), seeds.end(), start.begin(), [](auto l) { return l != 0; });
  RoutinePtr r = TwoPhase(speed, start, {0.3f, 1, 1});
  r->IterateUntilConvergence(kMaxIter);
  const Image3d<bool> mask = MaskOf(*r, speed);
  uint64_t bright = 0, dim = 0;
  for (uint64_t y = 0; y < 40; ++y)
    for (uint64_t x = 0; x < 90; ++x) (x < 45 ? bright : dim) += mask.GetVoxel(x, y, 0);
  EXPECT_NEAR(double(bright), M_PI * 144, 40.0);
  EXPECT_NEAR(double(dim), M_PI * 144, 40.0);
}

// Bright spots in a nucleus (condensing chromatin) raise its own mean far above its body; held to
// that mean, the label would shrink onto the spots. No label is held above the common foreground
// mean, so the body stays, as in its plain twin beside it.
TEST(LabGlobChanVese, BrightSpotsDoNotShrinkANucleusOntoThem) {
  const auto [speed, start] = SeedDiscPair(5, [](double x, double y, bool left, bool right) {
    const bool spot = std::hypot(x - 62.0, y - 20.0) < 2.5 ||
                      std::hypot(x - 70.0, y - 17.0) < 2.5 || std::hypot(x - 68.0, y - 25.0) < 2.5;
    return spot ? 3.0f : left || right ? 0.3f : 0.0f;
  });
  RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
  r->IterateUntilConvergence(kMaxIter);
  const Image3d<unsigned short> labels = LabelsOf(*r, speed);
  EXPECT_NEAR(double(std::count(labels.begin(), labels.end(), 1)), M_PI * 144, 40.0);
  EXPECT_NEAR(double(std::count(labels.begin(), labels.end(), 2)), M_PI * 144, 40.0);
}

TEST(LabGlobChanVese, NoLabelAppearsThatWasNotInTheStartImage) {
  for (const unsigned seed : {1u, 2u, 3u, 4u}) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    std::uniform_int_distribution<int> pick(0, 9);
    const unsigned short palette[] = {3, 7, 300};
    Image3d<float> speed;
    speed.MakeRoom(40, 30, seed % 2 ? 1 : 6);
    Image3d<unsigned short> start;
    start.MakeRoom(speed.GetSizeX(), speed.GetSizeY(), speed.GetSizeZ());
    for (uint64_t i = 0; i < speed.GetImageSize(); ++i) {
      speed.SetVoxel(i, value(rng));
      const int p = pick(rng);
      start.SetVoxel(i, p < 3 ? palette[p] : 0);
    }
    RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
    r->IterateUntilConvergence(50);
    const Image3d<unsigned short> labels = LabelsOf(*r, speed);
    for (const unsigned short l : labels) ASSERT_TRUE(l == 0 || l == 3 || l == 7 || l == 300) << l;
  }
}

TEST(LabGlobChanVese, KeepsTwoBallsApartInAStack) {
  Image3d<float> speed;
  speed.MakeRoom(48, 32, 20);
  Image3d<unsigned short> start;
  start.MakeRoom(48, 32, 20);
  start.SetAllVoxels(0);
  std::mt19937 rng(5);
  std::normal_distribution<float> noise(0.0f, 0.25f);
  for (uint64_t z = 0; z < 20; ++z)
    for (uint64_t y = 0; y < 32; ++y)
      for (uint64_t x = 0; x < 48; ++x) {
        const double a = std::hypot(x - 15.0, y - 16.0, z - 10.0),
                     b = std::hypot(x - 32.0, y - 16.0, z - 10.0);
        speed.SetVoxel(x, y, z, (a <= 8 || b <= 8 ? 1.0f : 0.0f) + noise(rng));
        if (a <= 2) start.SetVoxel(x, y, z, 1);
        if (b <= 2) start.SetVoxel(x, y, z, 2);
      }
  RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
  EXPECT_LT(r->IterateUntilConvergence(kMaxIter), kMaxIter);
  const Image3d<unsigned short> labels = LabelsOf(*r, speed);
  uint64_t count[3] = {0, 0, 0};
  for (const unsigned short l : labels) ++count[l];
  const double ball = 4.0 / 3.0 * M_PI * 8 * 8 * 8;  // about 2145 voxels
  EXPECT_GT(count[1], 0.85 * ball);
  EXPECT_GT(count[2], 0.85 * ball);
  EXPECT_LT(count[1], 1.15 * ball);
  EXPECT_LT(count[2], 1.15 * ball);
}

// Noisy discs (balls in a stack) of random brightness over many slabs of rows, seeded one label
// each near their centres, some seeds off centre so that outlines cross slab borders as they move.
std::pair<Image3d<float>, Image3d<unsigned short>> RandomNuclei(uint64_t nx, uint64_t ny,
                                                                uint64_t nz, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  std::normal_distribution<float> noise(0.0f, 0.3f);
  Image3d<float> speed;
  speed.MakeRoom(nx, ny, nz);
  Image3d<unsigned short> start;
  start.MakeRoom(nx, ny, nz);
  start.SetAllVoxels(0);
  std::vector<float> signal(speed.GetImageSize(), 0.0f);
  for (unsigned short label = 1; label <= 24; ++label) {
    const float cx = u(rng) * nx, cy = u(rng) * ny, cz = u(rng) * nz, r = 4 + 5 * u(rng),
                v = 0.3f + u(rng), sx = cx + 3 * (u(rng) - 0.5f);
    for (uint64_t i = 0; i < speed.GetImageSize(); ++i) {
      const float x = i % nx, y = (i / nx) % ny, z = i / (nx * ny);
      if (std::hypot(x - cx, y - cy, z - cz) < r) signal[i] = v;
      if (std::hypot(x - sx, y - cy, z - cz) < 1.5f) start.SetVoxel(i, label);
    }
  }
  for (uint64_t i = 0; i < speed.GetImageSize(); ++i) speed.SetVoxel(i, signal[i] + noise(rng));
  return {speed, start};
}

TEST(LabGlobChanVese, TheResultIsTheSameForAnyNumberOfThreads) {
  for (const uint64_t nz : {uint64_t{1}, uint64_t{12}}) {
    const auto [speed, start] = RandomNuclei(96, 90, nz, 7);
    Image3d<bool> mask;
    mask.MakeRoom(96, 90, nz);
    for (uint64_t i = 0; i < mask.GetImageSize(); ++i) mask.SetVoxel(i, start.GetVoxel(i) != 0);
    std::vector<Image3d<unsigned short>> labels, masks;
    for (const unsigned threads : {1u, 2u, 3u}) {
      RoutinePtr multi(voxa::fls::LabGlobChanVeseRoutine(speed, start, nullptr, kSmoothingSweeps,
                                                         0.3f, 1, 1, false, {threads}));
      multi->Initialize();
      multi->IterateUntilConvergence(kMaxIter);
      labels.push_back(LabelsOf(*multi, speed));
      RoutinePtr two(voxa::fls::GlobChanVeseRoutine(speed, mask, nullptr, false, kSmoothingSweeps,
                                                    0.3f, 1, 1, {threads}));
      two->Initialize();
      two->IterateUntilConvergence(kMaxIter);
      masks.push_back(LabelsOf(*two, speed));
    }
    EXPECT_GT(std::count_if(labels[0].begin(), labels[0].end(), [](auto l) { return l != 0; }),
              500);
    for (size_t k = 1; k < labels.size(); ++k) {
      EXPECT_TRUE(std::equal(labels[0].begin(), labels[0].end(), labels[k].begin())) << nz;
      EXPECT_TRUE(std::equal(masks[0].begin(), masks[0].end(), masks[k].begin())) << nz;
    }
  }
}

TEST(LabGlobChanVese, LabelsCanLeaveTheBackgroundOfTheBufferAsItWas) {
  const Image3d<float> speed = Draw<float>({"....", ".99.", "...."});
  RoutinePtr r = MultiLabel(speed, Draw<unsigned short>({"....", ".77.", "...."}));
  Image3d<unsigned short> buffer = Draw<unsigned short>({"3333", "3333", "3333"});
  r->Labels(buffer.begin(), true);
  EXPECT_EQ(Picture(buffer), (std::vector<std::string>{"3333", "3773", "3333"}));
  r->Labels(buffer.begin(), false);
  EXPECT_EQ(Picture(buffer), (std::vector<std::string>{"....", ".77.", "...."}));
}

// Bodies of the mask (or of one label) that do not touch, not even through a corner.
template <class T>
int CountBodies(const Image3d<T>& image, T value) {
  const int64_t nx = int64_t(image.GetSizeX()), ny = int64_t(image.GetSizeY());
  std::vector<int> seen(image.GetImageSize(), 0);
  int bodies = 0;
  for (int64_t start = 0; start < nx * ny; ++start) {
    if (image.GetVoxel(uint64_t(start)) != value || seen[start]) continue;
    ++bodies;
    std::vector<int64_t> stack{start};
    seen[start] = 1;
    while (!stack.empty()) {
      const int64_t p = stack.back();
      stack.pop_back();
      for (int64_t dy = -1; dy <= 1; ++dy)
        for (int64_t dx = -1; dx <= 1; ++dx) {
          const int64_t x = p % nx + dx, y = p / nx + dy, q = y * nx + x;
          if (x < 0 || y < 0 || x >= nx || y >= ny || seen[q]) continue;
          if (image.GetVoxel(uint64_t(q)) != value) continue;
          seen[q] = 1;
          stack.push_back(q);
        }
    }
  }
  return bodies;
}

// Two discs of radius r whose centres lie `gap` apart on a row, as speed 1 on 0, with a dark
// spot (a nucleolus) of radius `hole` in the first.
Image3d<float> TwoDiscs(double r, double gap, double hole = 0) {
  Image3d<float> speed;
  speed.MakeRoom(80, 40, 1);
  for (uint64_t y = 0; y < 40; ++y)
    for (uint64_t x = 0; x < 80; ++x) {
      const double a = std::hypot(x - 20.0, y - 20.0), b = std::hypot(x - 20.0 - gap, y - 20.0);
      speed.SetVoxel(x, y, 0, (a <= r && a >= hole) || b <= r ? 1.0f : 0.0f);
    }
  return speed;
}

Image3d<bool> Above(const Image3d<float>& speed, float level) {
  Image3d<bool> mask;
  mask.MakeRoom(speed.GetSizeX(), speed.GetSizeY(), speed.GetSizeZ());
  for (uint64_t i = 0; i < speed.GetImageSize(); ++i) mask.SetVoxel(i, speed.GetVoxel(i) > level);
  return mask;
}

// Two touching dome-shaped nuclei along x, meeting at x = 37 where both are dimmest, and start
// labels whose line lies at `line`: label 4 left of it, `right` right of it.
struct TouchingDomes {
  Image3d<float> speed;
  Image3d<unsigned short> start;
};

TouchingDomes MakeTouchingDomes(uint64_t line, unsigned short right = 9) {
  TouchingDomes domes;
  domes.speed.MakeRoom(74, 40, 1);
  domes.start.MakeRoom(74, 40, 1);
  std::mt19937 rng(11);
  std::normal_distribution<float> noise(0.0f, 0.05f);
  for (uint64_t y = 0; y < 40; ++y)
    for (uint64_t x = 0; x < 74; ++x) {
      const double d =
          std::min(std::hypot(x - 26.0, y - 20.0), std::hypot(x - 48.0, y - 20.0)) / 12;
      domes.speed.SetVoxel(x, y, 0, (d <= 1 ? 1.0f - 0.5f * float(d * d) : 0.0f) + noise(rng));
      const unsigned short l = x < line ? 4 : x > line ? right : 0;
      domes.start.SetVoxel(x, y, 0, d <= 1 ? l : 0);
    }
  return domes;
}

// The column of the background line between labels 4 and `right` along the centre row.
int SeamColumn(const Image3d<unsigned short>& labels, unsigned short right = 9) {
  int last4 = -1, first_right = -1;
  for (uint64_t x = 0; x < labels.GetSizeX(); ++x) {
    const unsigned short l = labels.GetVoxel(x, 20, 0);
    if (l == 4) last4 = static_cast<int>(x);
    if (l == right && first_right < 0) first_right = static_cast<int>(x);
  }
  EXPECT_GE(last4, 0);
  EXPECT_EQ(first_right, last4 + 2) << "one background voxel parts the labels";
  return last4 + 1;
}

// Touching labels have no force between them: the line they meet along comes from the start
// labels (the previous frame's), and a nucleus that moved would drag its neighbour's label
// across itself. The line moves to the dark seam instead, from either side.
TEST(LabGlobChanVese, TheLineBetweenTouchingLabelsMovesToTheSeam) {
  for (const uint64_t line : {uint64_t(44), uint64_t(30)}) {
    SCOPED_TRACE("start line at x = " + std::to_string(line));
    const TouchingDomes d = MakeTouchingDomes(line);
    RoutinePtr r = MultiLabel(d.speed, d.start, {0.3f, 1, 1});
    r->IterateUntilConvergence(kMaxIter);
    EXPECT_NEAR(SeamColumn(LabelsOf(*r, d.speed)), 37, 1);
  }
  // The largest label a 16-bit image holds is a label like any other.
  const TouchingDomes d = MakeTouchingDomes(44, 65535);
  RoutinePtr r = MultiLabel(d.speed, d.start, {0.3f, 1, 1});
  r->IterateUntilConvergence(kMaxIter);
  EXPECT_NEAR(SeamColumn(LabelsOf(*r, d.speed), 65535), 37, 1);
}

// A bright nucleus pressed against a dim one has no dark seam between them, and the
// brightest-first flood alone lets the bright label keep what it took of the dim nucleus (55 of
// 64 voxels here). The voxels that look like the dim nucleus seed its flood, so the invasion is
// undone.
TEST(LabGlobChanVese, ABrightLabelDoesNotPourIntoADimNeighbour) {
  Image3d<float> speed;
  speed.MakeRoom(74, 40, 1);
  Image3d<unsigned short> start;
  start.MakeRoom(74, 40, 1);
  std::mt19937 rng(5);
  std::normal_distribution<float> noise(0.0f, 0.03f);
  for (uint64_t y = 0; y < 40; ++y)
    for (uint64_t x = 0; x < 74; ++x) {
      const double a = std::hypot(x - 26.0, y - 20.0), b = std::hypot(x - 48.0, y - 20.0);
      const bool inside = std::min(a, b) <= 12;
      speed.SetVoxel(x, y, 0, (inside ? (a < b ? 1.0f : 0.5f) : 0.0f) + noise(rng));
      start.SetVoxel(x, y, 0, inside ? (x < 42 ? 4 : x > 42 ? 9 : 0) : 0);
    }
  auto invaded = [&](const Image3d<unsigned short>& labels) {  // dim voxels labelled bright
    uint64_t n = 0;
    for (uint64_t y = 0; y < 40; ++y)
      for (uint64_t x = 38; x < 74; ++x) n += labels.GetVoxel(x, y, 0) == 4;
    return n;
  };
  RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
  r->IterateUntilConvergence(kMaxIter);
  const uint64_t before = invaded(start), after = invaded(LabelsOf(*r, speed));
  EXPECT_LT(after, before / 2);
}

// A label squeezed into a sliver beside a large one keeps a part of its own: the interface is
// moved, never a label removed.
TEST(LabGlobChanVese, ASliverLabelAtAnInterfaceIsNotSwallowed) {
  TouchingDomes d = MakeTouchingDomes(54);
  RoutinePtr r = MultiLabel(d.speed, d.start, {0.3f, 1, 1});
  r->IterateUntilConvergence(kMaxIter);
  const Image3d<unsigned short> labels = LabelsOf(*r, d.speed);
  EXPECT_EQ(CountBodies(labels, static_cast<unsigned short>(9)), 1);
}

// Nuclei as an optics blurs them: discs of radius `r` whose edges fall off as the normal
// distribution with deviation `blur`, on a haze of height `haze` that reaches `haze_r` from the
// centre of each, and a little noise.
Image3d<float> BlurredDiscs(uint64_t nx, uint64_t ny,
                            const std::vector<std::pair<double, double>>& centres, double r,
                            double blur, double haze, double haze_r, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 0.02f);
  Image3d<float> speed;
  speed.MakeRoom(nx, ny, 1);
  for (uint64_t y = 0; y < ny; ++y)
    for (uint64_t x = 0; x < nx; ++x) {
      double v = 0;
      bool hazy = false;
      for (const auto& [cx, cy] : centres) {
        const double d = std::hypot(x - cx, y - cy);
        v = std::max(v, 0.5 * std::erfc((d - r) / (blur * std::sqrt(2.0))));
        hazy = hazy || d <= haze_r;
      }
      speed.SetVoxel(x, y, 0, static_cast<float>((hazy ? haze : 0) + (1 - haze) * v) + noise(rng));
    }
  return speed;
}

Image3d<unsigned short> StartDiscs(const Image3d<float>& geometry,
                                   const std::vector<std::pair<double, double>>& centres,
                                   double r) {
  Image3d<unsigned short> start;
  start.MakeRoom(geometry.GetSizeX(), geometry.GetSizeY(), 1);
  std::fill(start.begin(), start.end(), 0);
  for (uint64_t y = 0; y < start.GetSizeY(); ++y)
    for (uint64_t x = 0; x < start.GetSizeX(); ++x)
      for (size_t k = 0; k < centres.size(); ++k)
        if (std::hypot(x - centres[k].first, y - centres[k].second) <= r)
          start.SetVoxel(x, y, 0, static_cast<unsigned short>(k + 1));
  return start;
}

// In a haze the global background mean lies below a nucleus' surroundings, and the Chan-Vese
// outline sits on the outer foot of the blurred edge (radius 12.8 here). The outline moves in to
// the nucleus' own edge, from a start that is too large or too small.
TEST(EdgeLevel, AnOutlineInAHazeMovesToTheNucleusOwnEdge) {
  const std::vector<std::pair<double, double>> centre = {{50, 50}};
  const Image3d<float> speed = BlurredDiscs(100, 100, centre, 12, 1.5, 0.3, 30, 5);
  for (const double start_r : {9.0, 15.0}) {
    SCOPED_TRACE("start radius " + std::to_string(start_r));
    RoutinePtr r = MultiLabel(speed, StartDiscs(speed, centre, start_r), {0.3f, 1, 1});
    r->IterateUntilConvergence(kMaxIter);
    const Image3d<unsigned short> labels = LabelsOf(*r, speed);
    uint64_t area = 0;
    for (const unsigned short l : labels) area += l == 1;
    EXPECT_NEAR(std::sqrt(double(area) / M_PI), 12.0, 0.5);
  }
}

// Labels grow towards their edges only into background nearer to them than to any other label:
// crowded, hazy nuclei started from random, ragged labels never come to touch.
TEST(EdgeLevel, GrowingToTheirEdgesLabelsNeverTouch) {
  for (const unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> at(10, 70);
    std::vector<std::pair<double, double>> centres;
    for (int k = 0; k < 12; ++k) centres.push_back({at(rng), at(rng)});
    const Image3d<float> speed = BlurredDiscs(80, 80, centres, 7, 1.2, 0.4, 12, seed);
    Image3d<unsigned short> start = StartDiscs(speed, centres, 5);
    std::bernoulli_distribution drop(0.2);
    for (uint64_t i = 0; i < start.GetImageSize(); ++i)
      if (drop(rng)) start.SetVoxel(i, 0);
    RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
    r->IterateUntilConvergence(50);
    const Image3d<unsigned short> labels = LabelsOf(*r, speed);
    for (uint64_t y = 0; y + 1 < 80; ++y)
      for (uint64_t x = 0; x + 1 < 80; ++x) {
        const unsigned short a = labels.GetVoxel(x, y, 0);
        for (const auto& [dx, dy] : {std::pair{1, 0}, {0, 1}, {1, 1}}) {
          const unsigned short b = labels.GetVoxel(x + dx, y + dy, 0);
          ASSERT_FALSE(a != 0 && b != 0 && a != b) << x << "," << y;
        }
        const unsigned short c = labels.GetVoxel(x, y + 1, 0), d = labels.GetVoxel(x + 1, y, 0);
        ASSERT_FALSE(c != 0 && d != 0 && c != d) << x << "," << y;
      }
  }
}

// A label is an object only where it stands out of its surroundings: a dim disc three noise
// standard deviations above the background keeps its label; a label started on the noise, and
// one on a smooth haze as bright as the disc, vanish.
TEST(LocalContrast, LabelsOfNoiseAndHazeVanishAndADimObjectStays) {
  std::mt19937 rng(3);
  std::normal_distribution<float> noise(0.0f, 1.0f);
  Image3d<float> speed;
  speed.MakeRoom(120, 60, 1);
  Image3d<unsigned short> start;
  start.MakeRoom(120, 60, 1);
  for (uint64_t y = 0; y < 60; ++y)
    for (uint64_t x = 0; x < 120; ++x) {
      const double disc = std::hypot(x - 20.0, y - 30.0), haze = std::hypot(x - 95.0, y - 30.0);
      speed.SetVoxel(x, y, 0,
                     noise(rng) + (disc < 9 ? 3.0f : 0.0f) + 3.0f * float(std::exp(-haze / 15)));
      const bool patch = std::abs(x - 57.0) < 6 && std::abs(y - 30.0) < 6;
      start.SetVoxel(x, y, 0, disc < 9 ? 1 : patch ? 2 : haze < 8 ? 3 : 0);
    }
  RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
  r->IterateUntilConvergence(kMaxIter);
  const Image3d<unsigned short> labels = LabelsOf(*r, speed);
  EXPECT_EQ(labels.GetVoxel(20, 30, 0), 1);
  EXPECT_EQ(std::count(labels.begin(), labels.end(), 2), 0);
  EXPECT_EQ(std::count(labels.begin(), labels.end(), 3), 0);
}

TEST(NeckCut, TwoDiscsJoinedByANarrowNeckComeOutAsTwoBodies) {
  // Radius 10, centres 18 apart: the neck is about 9 voxels wide against bodies 20 wide.
  const Image3d<float> speed = TwoDiscs(10, 18);
  RoutinePtr r = TwoPhase(speed, Above(speed, 0.5f), {0.3f, 1, 1});
  r->IterateUntilConvergence(kMaxIter);
  const Image3d<bool> mask = MaskOf(*r, speed);
  EXPECT_EQ(CountBodies(mask, true), 2);
  uint64_t kept = 0;  // the cut takes a line of voxels, no more
  for (const bool b : mask) kept += b;
  EXPECT_GT(kept, uint64_t(2 * M_PI * 100 - 120));
}

TEST(NeckCut, WideNecksAndNucleoliAreNotCut) {
  for (const auto& [gap, hole] : {std::pair{8.0, 0.0}, std::pair{0.0, 4.0}, std::pair{8.0, 3.0}}) {
    const Image3d<float> speed = TwoDiscs(10, gap, hole);
    Image3d<unsigned short> start;
    start.MakeRoom(80, 40, 1);
    for (uint64_t i = 0; i < start.GetImageSize(); ++i)
      start.SetVoxel(i, speed.GetVoxel(i) > 0.5f ? 3 : 0);
    RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
    r->IterateUntilConvergence(kMaxIter);
    EXPECT_EQ(CountBodies(LabelsOf(*r, speed), static_cast<unsigned short>(3)), 1)
        << "gap " << gap << ", hole " << hole;
  }
}

TEST(NeckCut, ASmallLobeStaysWithItsNucleus) {
  // A disc of radius 12 with a lobe of radius 5 on a narrow neck: the lobe is far shallower
  // than the nucleus, so it is a bleb, not a second nucleus. No curvature term, so that the
  // neck stays as drawn.
  Image3d<float> speed;
  speed.MakeRoom(80, 40, 1);
  for (uint64_t y = 0; y < 40; ++y)
    for (uint64_t x = 0; x < 80; ++x) {
      const bool body = std::hypot(x - 25.0, y - 20.0) <= 12;
      const bool lobe = std::hypot(x - 41.0, y - 20.0) <= 5;
      speed.SetVoxel(x, y, 0, body || lobe ? 1.0f : 0.0f);
    }
  RoutinePtr r = TwoPhase(speed, Above(speed, 0.5f), {0.0f, 1, 1});
  r->IterateUntilConvergence(kMaxIter);
  EXPECT_EQ(CountBodies(MaskOf(*r, speed), true), 1);
}

TEST(NeckCut, OnlyLabelsWellAboveTheNoiseAreCut) {
  // The two discs of the narrow-neck case, at a contrast of 12 and of 2.5 noise deviations: the
  // faint pair's outline is too uncertain for its neck to be trusted.
  for (const auto& [contrast, bodies] : {std::pair{1.2f, 2}, std::pair{0.25f, 1}}) {
    const Image3d<float> discs = TwoDiscs(10, 18);
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    Image3d<float> speed;
    speed.MakeRoom(80, 40, 1);
    Image3d<unsigned short> start;
    start.MakeRoom(80, 40, 1);
    for (uint64_t i = 0; i < speed.GetImageSize(); ++i) {
      speed.SetVoxel(i, contrast * discs.GetVoxel(i) + noise(rng));
      start.SetVoxel(i, discs.GetVoxel(i) > 0.5f ? 5 : 0);
    }
    RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
    r->IterateUntilConvergence(kMaxIter);
    EXPECT_EQ(CountBodies(LabelsOf(*r, speed), static_cast<unsigned short>(5)), bodies)
        << "contrast " << contrast;
  }
}

TEST(LabGlobChanVese, ALabelOnBackgroundNoiseEmptiesInsteadOfSpreading) {
  // A label seeded where the noise happens to be a little bright: its own mean lies within the
  // background's noise, so it must vanish, not spread over the background.
  for (const unsigned seed : {3u, 4u, 5u}) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    Image3d<float> speed;
    speed.MakeRoom(96, 64, 1);
    Image3d<unsigned short> start;
    start.MakeRoom(96, 64, 1);
    for (uint64_t y = 0; y < 64; ++y)
      for (uint64_t x = 0; x < 96; ++x) {
        const bool disc = std::hypot(x - 24.0, y - 32.0) < 12;
        const bool patch = x >= 60 && x < 76 && y >= 24 && y < 40;
        speed.SetVoxel(x, y, 0, 0.2f + (disc ? 0.6f : patch ? 0.03f : 0.0f) + noise(rng));
        start.SetVoxel(x, y, 0, disc ? 1 : patch ? 2 : 0);
      }
    RoutinePtr r = MultiLabel(speed, start, {0.3f, 1, 1});
    r->IterateUntilConvergence(kMaxIter);
    uint64_t one = 0, two = 0;
    for (const unsigned short l : LabelsOf(*r, speed)) {
      one += l == 1;
      two += l == 2;
    }
    EXPECT_EQ(two, 0u) << "seed " << seed;
    EXPECT_NEAR(double(one), M_PI * 144, 60.0) << "seed " << seed;
  }
}

TEST(FlsRoutines, RejectBadArgumentsWithClearMessages) {
  const Image3d<float> speed = Draw<float>({"...", ".9.", "..."});
  const Image3d<bool> small = Draw<bool>({"..", ".1"});
  const Image3d<unsigned short> labels = Draw<unsigned short>({"..", ".1"});
  auto message = [](auto call) {
    try {
      call();
    } catch (const voxa::InternalException& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  EXPECT_EQ(
      message([&] { voxa::fls::GlobChanVeseRoutine(speed, small, nullptr, false, 2, 0, 1, 1); }),
      "GlobChanVeseRoutine: the start mask is 2 x 2 x 1 voxels but the speed image 3 x 3 x 1");
  EXPECT_EQ(
      message(
          [&] { voxa::fls::LabGlobChanVeseRoutine(speed, labels, nullptr, 2, 0, 1, 1, false); }),
      "LabGlobChanVeseRoutine: the label image is 2 x 2 x 1 voxels but the speed image 3 x 3 x 1");
  const Image3d<bool> start = Draw<bool>({"...", ".1.", "..."});
  EXPECT_EQ(
      message([&] { voxa::fls::GlobChanVeseRoutine(speed, start, &small, false, 2, 0, 1, 1); }),
      "GlobChanVeseRoutine: the mask of mutable voxels is 2 x 2 x 1 voxels but the speed "
      "image 3 x 3 x 1");
  EXPECT_EQ(
      message([&] { voxa::fls::GlobChanVeseRoutine(speed, start, nullptr, false, -1, 0, 1, 1); }),
      "GlobChanVeseRoutine: count must not be negative, not -1");
  EXPECT_EQ(message([&] {
              voxa::fls::GlobChanVeseRoutine(speed, start, nullptr, false, 2, -0.5f, 1, 1);
            }),
            "GlobChanVeseRoutine: curv_weight must be a finite non-negative number, not -0.500000");
  EXPECT_EQ(
      message([&] { voxa::fls::GlobChanVeseRoutine(speed, start, nullptr, false, 2, 0, NAN, 1); }),
      "GlobChanVeseRoutine: fg_weight must be a finite non-negative number, not nan");
  EXPECT_EQ(message([&] {
              voxa::fls::LabGlobChanVeseRoutine(speed, Draw<unsigned short>({"...", ".1.", "..."}),
                                                nullptr, 2, 0, 1, INFINITY, false);
            }),
            "LabGlobChanVeseRoutine: bg_weight must be a finite non-negative number, not inf");

  RoutinePtr r(voxa::fls::GlobChanVeseRoutine(speed, start, nullptr, false, 2, 0, 1, 1));
  bool buffer[9];
  unsigned short label_buffer[9];
  EXPECT_EQ(message([&] { r->IterateUntilConvergence(1); }),
            "GlobChanVeseRoutine: IterateUntilConvergence called before Initialize");
  EXPECT_EQ(message([&] { r->Mask(buffer, ResultCreator::kForeground, false); }),
            "GlobChanVeseRoutine: Mask called before Initialize");
  EXPECT_EQ(message([&] { r->Labels(label_buffer, false); }),
            "GlobChanVeseRoutine: Labels called before Initialize");
  r->Initialize();
  EXPECT_EQ(message([&] { r->Mask(buffer, static_cast<ResultCreator::ResType>(7), false); }),
            "fls::Routine::Mask: unknown result type 7");
}

}  // namespace
