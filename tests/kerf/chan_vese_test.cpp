// Graph-cut Chan-Vese: a drawn image whose segmentation is known, empty phases, the iteration
// bound left to the caller, an energy that never rises from one cut to the next, transposed
// input giving the transposed result, the label-preserving solver in the same loop, the timing
// switch, and the refusals.
#include "kerf/chan_vese.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "kerf/exceptions.h"
#include "kerf/kohli.h"
#include "kerf/stop_watch.h"
#include "kerf/tavrin_labels.h"
#include "support/test_support.h"

namespace {

using Kerf::Algo::Segmentation::ChanVese::Compute;
using Kerf::Flow::kReuseSearchTrees;
using Kerf::Math::Algebra::Vector;
using Kerf::System::Collection::Array;
using trel::testing::Draw;
using trel::testing::Picture;

template <size_t N>
using Image = Kerf::Data::Image<N, float, float>;
template <size_t N>
using TwoPhase = Kerf::Flow::Grid::Kohli<N, float, float, float, kReuseSearchTrees>;
template <size_t N>
using Labels =
    Kerf::Flow::Grid::TavrinLabels<N, float, float, float, unsigned short, kReuseSearchTrees>;

constexpr float kTolerance = 0.001f;

class ChanVeseTest : public ::testing::Test {
 protected:
  void SetUp() override { Kerf::System::Time::StopWatch::ms_is_enabled = false; }
};

// A planar image from a drawing, grey value d/9.
Image<2> FromDrawing(const std::vector<std::string>& rows) {
  const voxa::Image3d<unsigned char> drawn = Draw<unsigned char>(rows);
  Image<2> image;
  image.Resize(Vector<2, size_t>(drawn.GetSizeX(), drawn.GetSizeY()));
  for (size_t p = 0; p < image.Elems(); ++p) image[p] = drawn.GetVoxel(p) / 9.0f;
  return image;
}

std::vector<std::string> ToPicture(const Array<2, bool>& result) {
  voxa::Image3d<bool> image;
  image.MakeRoom(result.Dim()[0], result.Dim()[1], 1);
  for (size_t p = 0; p < result.Elems(); ++p) image.SetVoxel(p, result[p]);
  return Picture(image);
}

struct Segmentation {
  Array<2, bool> result;
  float c1, c2, energy;
};

Segmentation Segment(const Image<2>& image, float lambda, float c1, float c2, size_t max_iter,
                     size_t nb_size = 8) {
  Kerf::Energy::Neighbourhood<2, int> nb;
  nb.Common(nb_size, false);
  TwoPhase<2> solver;
  Segmentation run{{}, c1, c2, 0};
  run.energy = Compute<2, float>(image, lambda, lambda, run.c1, run.c2, kTolerance, max_iter, nb,
                                 solver, run.result);
  return run;
}

// The labelled counterpart of Segment: `solver` starts from the seeds (node, label) and is kept
// by the caller for NodeLabel.
Segmentation SegmentLabelled(const Image<2>& image, Array<2, unsigned short>& seeds,
                             const std::vector<std::pair<size_t, unsigned short>>& at,
                             Labels<2>& solver, float lambda, float c1, float c2, size_t max_iter) {
  seeds.Resize(image.Dim());
  std::fill(seeds.begin(), seeds.end(), 0);
  for (const auto& [node, label] : at) seeds[node] = label;
  Kerf::Energy::Neighbourhood<2, int> nb;
  nb.Common(8, false);
  solver.SetInitialLabelingRef(seeds);
  Segmentation run{{}, c1, c2, 0};
  run.energy = Compute<2, float>(image, lambda, lambda, run.c1, run.c2, kTolerance, max_iter, nb,
                                 solver, run.result);
  return run;
}

// The square stays whole (its boundary costs less than its region gains), the lone pixel goes
// (its eight edges cost more than the 2 it gains), and the means are those of the two phases.
TEST_F(ChanVeseTest, DrawnSquareIsFoundAndLonePixelDropped) {
  const Image<2> image = FromDrawing({"..........",  //
                                      "..........",  //
                                      "..9999....",  //
                                      "..9999....",  //
                                      "..9999....",  //
                                      "..9999....",  //
                                      "..........",  //
                                      "......9...",  //
                                      ".........."});
  const Segmentation run = Segment(image, 2.0f, 0.3f, 0.6f, 10);
  EXPECT_EQ(ToPicture(run.result), (std::vector<std::string>{"..........",  //
                                                             "..........",  //
                                                             "..1111....",  //
                                                             "..1111....",  //
                                                             "..1111....",  //
                                                             "..1111....",  //
                                                             "..........",  //
                                                             "..........",  //
                                                             ".........."}));
  EXPECT_FLOAT_EQ(run.c1, 1.0f / 74);
  EXPECT_FLOAT_EQ(run.c2, 1.0f);
}

// An image of one grey value: one phase takes everything, the other keeps its mean.
TEST_F(ChanVeseTest, EmptyPhaseIsAValidResult) {
  Image<2> flat;
  flat.Resize(Vector<2, size_t>(7, 5));
  for (float& v : flat) v = 0.5f;
  const Segmentation low = Segment(flat, 5.0f, 0.2f, 0.9f, 10);
  for (bool fg : low.result) EXPECT_FALSE(fg);
  EXPECT_FLOAT_EQ(low.c1, 0.5f);
  EXPECT_FLOAT_EQ(low.c2, 0.9f);
  const Segmentation high = Segment(flat, 5.0f, 0.1f, 0.6f, 10);
  for (bool fg : high.result) EXPECT_TRUE(fg);
  EXPECT_FLOAT_EQ(high.c1, 0.1f);
  EXPECT_FLOAT_EQ(high.c2, 0.5f);
  EXPECT_FLOAT_EQ(high.energy, 0.0f);  // no boundary, no deviation
}

Image<2> NoisyBlobs(size_t x, size_t y, unsigned seed) {
  Image<2> image;
  image.Resize(Vector<2, size_t>(x, y));
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 0.15f);
  for (size_t p = 0; p < image.Elems(); ++p) {
    const float px = static_cast<float>(p % x), py = static_cast<float>(p / x);
    const bool blob = std::hypot(px - 12, py - 10) < 7 || std::hypot(px - 30, py - 22) < 9;
    image[p] = (blob ? 0.7f : 0.2f) + noise(rng);
  }
  return image;
}

TEST_F(ChanVeseTest, IterationBoundIsLeftUnchangedAndZeroStillCutsOnce) {
  const Image<2> image = NoisyBlobs(40, 32, 3);
  Kerf::Energy::Neighbourhood<2, int> nb;
  nb.Common(8, false);
  for (size_t bound : {0, 1, 3}) {
    size_t max_iter = bound;
    float c1 = 0.4f, c2 = 0.5f;
    TwoPhase<2> solver;
    Array<2, bool> result;
    Compute<2, float>(image, 4.0f, 4.0f, c1, c2, kTolerance, max_iter, nb, solver, result);
    EXPECT_EQ(max_iter, bound);
    EXPECT_EQ(result.Elems(), image.Elems());
  }
  const Segmentation none = Segment(image, 4.0f, 0.4f, 0.5f, 0),
                     one = Segment(image, 4.0f, 0.4f, 0.5f, 1);
  EXPECT_EQ(ToPicture(none.result), ToPicture(one.result));
  EXPECT_FLOAT_EQ(none.c1, one.c1);
}

// Each cut is optimal for the means and each mean optimal for the cut, so the energy of the
// result never rises with more iterations.
TEST_F(ChanVeseTest, EnergyNeverRisesWithMoreIterations) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    const Image<2> image = NoisyBlobs(48, 36, seed);
    float previous = std::numeric_limits<float>::infinity();
    for (size_t bound = 1; bound <= 6; ++bound) {
      const Segmentation run = Segment(image, 3.0f, 0.45f, 0.5f, bound);
      EXPECT_LE(run.energy, previous * (1 + 1e-5f)) << "bound " << bound;
      previous = run.energy;
    }
  }
}

TEST_F(ChanVeseTest, TransposedImageGivesTransposedResult) {
  const Image<2> image = NoisyBlobs(37, 29, 5);
  Image<2> transposed;
  transposed.Resize(Vector<2, size_t>(29, 37));
  for (size_t y = 0; y < 29; ++y)
    for (size_t x = 0; x < 37; ++x) transposed[x * 29 + y] = image[y * 37 + x];
  const Segmentation a = Segment(image, 3.0f, 0.3f, 0.6f, 10),
                     b = Segment(transposed, 3.0f, 0.3f, 0.6f, 10);
  size_t differing = 0;
  for (size_t y = 0; y < 29; ++y)
    for (size_t x = 0; x < 37; ++x) differing += a.result[y * 37 + x] != b.result[x * 29 + y];
  EXPECT_EQ(differing, 0u);
  EXPECT_NEAR(a.c1, b.c1, 1e-5);
  EXPECT_NEAR(a.c2, b.c2, 1e-5);
}

TEST_F(ChanVeseTest, SpatialBoxIsFound) {
  Image<3> image;
  image.Resize(Vector<3, size_t>(12, 11, 8));
  for (size_t z = 0, p = 0; z < 8; ++z)
    for (size_t y = 0; y < 11; ++y)
      for (size_t x = 0; x < 12; ++x, ++p)
        image[p] = (x >= 3 && x < 9 && y >= 2 && y < 8 && z >= 2 && z < 6) ? 0.9f : 0.1f;
  image.SetSpacing(Vector<3, float>(1, 1, 0.5f));
  Kerf::Energy::Neighbourhood<3, int> nb;
  nb.Common(6, false);
  TwoPhase<3> solver;
  Array<3, bool> result;
  size_t max_iter = 10;
  float c1 = 0.3f, c2 = 0.6f;
  Compute<3, float>(image, 8.0f, 8.0f, c1, c2, kTolerance, max_iter, nb, solver, result);
  for (size_t p = 0; p < image.Elems(); ++p) EXPECT_EQ(result[p], image[p] > 0.5f) << p;
  EXPECT_FLOAT_EQ(c1, 0.1f);
  EXPECT_FLOAT_EQ(c2, 0.9f);
}

// The label-preserving solver segments through the same loop: its foreground is the labelled
// nodes, here the seeded one of two squares.
TEST_F(ChanVeseTest, LabelPreservingSolverKeepsOnlySeededObjects) {
  const Image<2> image = FromDrawing({"...........",  //
                                      ".999...999.",  //
                                      ".999...999.",  //
                                      ".999...999.",  //
                                      "..........."});
  Array<2, unsigned short> seeds;
  Labels<2> solver;
  const Segmentation run =
      SegmentLabelled(image, seeds, {{1 * 11 + 8, 4}}, solver, 3.0f, 0.2f, 0.8f, 5);
  EXPECT_EQ(ToPicture(run.result), (std::vector<std::string>{"...........",  //
                                                             ".......111.",  //
                                                             ".......111.",  //
                                                             ".......111.",  //
                                                             "..........."}));
  EXPECT_EQ(solver.NodeLabel(1 * 11 + 7), 4);
  EXPECT_EQ(solver.NodeLabel(1 * 11 + 2), 0);
}

// With labelled regions every label is measured against its own mean. Here a dim cell pulls the
// one foreground mean of the two-phase cut so far down that the faint halo around the bright cell
// joins it; measured against its own mean, the bright cell leaves its halo to the background.
TEST_F(ChanVeseTest, EachLabelIsMeasuredAgainstItsOwnMean) {
  const Image<2> image = FromDrawing({"..............",  //
                                      ".44444........",  //
                                      ".49994...555..",  //
                                      ".49994...555..",  //
                                      ".49994...555..",  //
                                      ".44444........",  //
                                      ".............."});
  Array<2, unsigned short> seeds;
  Labels<2> solver;
  const Segmentation run = SegmentLabelled(image, seeds, {{3 * 14 + 3, 1}, {3 * 14 + 10, 2}},
                                           solver, 100.0f, 0.0f, 1.0f, 10);
  EXPECT_EQ(ToPicture(run.result), (std::vector<std::string>{"..............",  //
                                                             "..............",  //
                                                             "..111....111..",  //
                                                             "..111....111..",  //
                                                             "..111....111..",  //
                                                             "..............",  //
                                                             ".............."}));
  EXPECT_EQ(solver.NodeLabel(2 * 14 + 2), 1);
  EXPECT_EQ(solver.NodeLabel(4 * 14 + 11), 2);
  EXPECT_NEAR(run.c2, (1.0f + 5.0f / 9.0f) / 2, 1e-6f);  // the pooled mean of the labelled nodes

  const Segmentation pooled = Segment(image, 100.0f, 0.0f, 1.0f, 10);
  EXPECT_EQ(ToPicture(pooled.result), (std::vector<std::string>{"..............",  //
                                                                ".11111........",  //
                                                                ".11111...111..",  //
                                                                ".11111...111..",  //
                                                                ".11111...111..",  //
                                                                ".11111........",  //
                                                                ".............."}));
}

// Property check on noisy scenes with scattered seeds: every final label is one of the seeds, the
// result is the labelled nodes, and c2 is left as the mean of the labelled nodes.
TEST_F(ChanVeseTest, LabelledAlternationKeepsSeedsAndReportsThePooledMean) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const Image<2> image = NoisyBlobs(48, 36, seed);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> node(0, image.Elems() - 1);
    std::vector<std::pair<size_t, unsigned short>> at;
    for (unsigned short label = 1; label <= 6; ++label) at.emplace_back(node(rng), label);
    at.emplace_back(10 * 48 + 12, 7);  // one seed surely inside a blob
    Array<2, unsigned short> seeds;
    Labels<2> solver;
    const Segmentation run = SegmentLabelled(image, seeds, at, solver, 3.0f, 0.2f, 0.7f, 50);
    double sum = 0;
    size_t count = 0;
    for (size_t p = 0; p < image.Elems(); ++p) {
      const unsigned short label = solver.NodeLabel(p);
      EXPECT_EQ(run.result[p], label != 0) << p;
      if (label == 0) continue;
      EXPECT_NE(std::count(seeds.begin(), seeds.end(), label), 0) << label;
      sum += image[p];
      ++count;
    }
    ASSERT_GT(count, 0u) << "seed " << seed;
    EXPECT_NEAR(run.c2, sum / static_cast<double>(count), 1e-5) << "seed " << seed;
  }
}

TEST_F(ChanVeseTest, TimingIsPrintedOnlyWhenEnabled) {
  const Image<2> image = NoisyBlobs(20, 16, 1);
  Kerf::System::Time::StopWatch::ms_is_enabled = true;
  ::testing::internal::CaptureStderr();
  Segment(image, 3.0f, 0.3f, 0.6f, 2);
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("Kerf::Algo::Segmentation::ChanVese::Compute<2,float>: "),
            std::string::npos)
      << printed;
  EXPECT_NE(printed.find(" ms\n"), std::string::npos);
  Kerf::System::Time::StopWatch::ms_is_enabled = false;
  ::testing::internal::CaptureStderr();
  Segment(image, 3.0f, 0.3f, 0.6f, 2);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(ChanVeseTest, NonFiniteEnergyIsAConvergenceFailure) {
  const std::string method = "Kerf::Algo::Segmentation::ChanVese::Compute<2,float>";
  Image<2> image = NoisyBlobs(10, 8, 2);
  auto expect = [&](float lambda) {
    try {
      Segment(image, lambda, 0.3f, 0.6f, 5);
      ADD_FAILURE() << "no exception";
    } catch (const Kerf::Math::ConvergenceException& e) {
      EXPECT_EQ(e.Method(), method);
      EXPECT_EQ(std::string(e.what()), "The Chan-Vese energy is not finite.");
    }
  };
  expect(std::numeric_limits<float>::infinity());
  image[17] = std::numeric_limits<float>::quiet_NaN();
  expect(1.0f);
}

TEST_F(ChanVeseTest, RefusesEmptyImageBadToleranceAndUnpairedNeighbourhood) {
  const std::string method = "Kerf::Algo::Segmentation::ChanVese::Compute<2,float>";
  Image<2> image = NoisyBlobs(10, 8, 2);
  Kerf::Energy::Neighbourhood<2, int> nb;
  nb.Common(8, false);
  auto expect = [&](const Image<2>& im, float tolerance, const char* message) {
    TwoPhase<2> solver;
    Array<2, bool> result;
    size_t max_iter = 3;
    float c1 = 0.2f, c2 = 0.7f;
    try {
      Compute<2, float>(im, 1.0f, 1.0f, c1, c2, tolerance, max_iter, nb, solver, result);
      ADD_FAILURE() << "no exception for " << message;
    } catch (const Kerf::System::ArgumentException& e) {
      EXPECT_EQ(e.Method(), method);
      EXPECT_EQ(std::string(e.what()), message);
    }
  };
  expect(Image<2>(), kTolerance, "The image must not be empty.");
  expect(image, -1.0f, "The tolerance must be finite and non-negative.");
  expect(image, std::numeric_limits<float>::quiet_NaN(),
         "The tolerance must be finite and non-negative.");
  nb.Resize(Vector<1, size_t>(1));
  nb[0] = Vector<2, int>(1, 0);
  expect(image, kTolerance, "Every offset of the neighbourhood needs its opposite.");
}

}  // namespace
