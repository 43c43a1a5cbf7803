// The label-preserving max-flow: hand-drawn cases (two seeds in one blob, a seed on background,
// a blob without seed, a bridge between two cells), its agreement with the two-phase cut
// restricted to the seeds' components, the invariants of its labels on random images, and its
// refusals.
#include "kerf/tavrin_labels.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "grid_components.h"
#include "grid_problem.h"
#include "kerf/exceptions.h"
#include "kerf/kohli.h"
#include "support/test_support.h"

namespace {

using Kerf::Flow::kReuseSearchTrees;
using Kerf::Math::Algebra::Vector;
using Kerf::System::Collection::Array;
using kerf_testing::Components;
using kerf_testing::GridProblem;
using trel::testing::Draw;
using trel::testing::Picture;

template <size_t N>
using Labels =
    Kerf::Flow::Grid::TavrinLabels<N, float, float, float, unsigned short, kReuseSearchTrees>;
template <size_t N>
using TwoPhase = Kerf::Flow::Grid::Kohli<N, float, float, float, kReuseSearchTrees>;

// Region weight and edge weight of the drawn cases: a bright voxel (9) pays 4 in the background,
// a dark one (.) 4 in the foreground, each boundary edge 0.3.
constexpr float kRegionWeight = 4.0f;
constexpr float kEdgeWeight = 0.3f;

// A planar problem from a drawing: grey value d/9, terminals as for means 0 and 1.
GridProblem<2> FromDrawing(const std::vector<std::string>& rows, float edge_weight) {
  const voxa::Image3d<unsigned char> image = Draw<unsigned char>(rows);
  GridProblem<2> g;
  g.dims = Vector<2, size_t>(image.GetSizeX(), image.GetSizeY());
  g.nb.Common(4, false);
  g.edge.assign(g.Nodes() * 4, edge_weight);
  for (size_t p = 0; p < g.Nodes(); ++p) {
    const float v = image.GetVoxel(p) / 9.0f;
    g.source.push_back(kRegionWeight * v * v);
    g.sink.push_back(kRegionWeight * (1 - v) * (1 - v));
  }
  return g;
}

template <size_t N>
Array<N, unsigned short> LabelArray(const Vector<N, size_t>& dims,
                                    const std::vector<unsigned short>& values) {
  Array<N, unsigned short> a(dims);
  std::copy(values.begin(), values.end(), a.begin());
  return a;
}

std::vector<std::string> Solve(const std::vector<std::string>& image,
                               const std::vector<std::string>& seeds,
                               float edge_weight = kEdgeWeight) {
  const GridProblem<2> g = FromDrawing(image, edge_weight);
  const voxa::Image3d<unsigned short> drawn = Draw<unsigned short>(seeds);
  const Array<2, unsigned short> labels =
      LabelArray<2>(g.dims, std::vector<unsigned short>(drawn.begin(), drawn.end()));
  Labels<2> solver;
  solver.SetInitialLabelingRef(labels);
  g.Load(solver);
  solver.ComputeMaxFlow();
  voxa::Image3d<unsigned short> result = drawn;
  for (size_t p = 0; p < g.Nodes(); ++p) result.SetVoxel(p, solver.NodeLabel(p));
  return Picture(result);
}

TEST(TavrinLabelsTest, TwoSeedsInOneBlobStayTwoLabels) {
  EXPECT_EQ(Solve({"..........",  //
                   ".99999999.",  //
                   ".99999999.",  //
                   ".........."},
                  {"..........",  //
                   ".1......2.",  //
                   ".1......2.",  //
                   ".........."}),
            (std::vector<std::string>{"..........",  //
                                      ".11112222.",  //
                                      ".11112222.",  //
                                      ".........."}));
}

// Two cells joined by a bridge that the two-phase cut keeps: one blob for it, two labels here,
// split where the bridge is nearer to one seed than to the other.
TEST(TavrinLabelsTest, LabelsDoNotMergeOverABridge) {
  EXPECT_EQ(Solve({"..........",  //
                   ".999..999.",  //
                   ".99999999.",  //
                   ".999..999.",  //
                   ".........."},
                  {"..........",  //
                   ".1......2.",  //
                   "..........",  //
                   ".1......2.",  //
                   ".........."}),
            (std::vector<std::string>{"..........",  //
                                      ".111..222.",  //
                                      ".11112222.",  //
                                      ".111..222.",  //
                                      ".........."}));
}

TEST(TavrinLabelsTest, SeedOnBackgroundVanishesAndUnseededBlobIsBackground) {
  EXPECT_EQ(Solve({"..........",  //
                   ".999..999.",  //
                   ".999..999.",  //
                   ".........."},
                  {"3.........",  //
                   "..7.......",  //
                   "....44....",  //
                   ".........."}),
            (std::vector<std::string>{"..........",  //
                                      ".777......",  //
                                      ".777......",  //
                                      ".........."}));
}

// The zones of the labels after a solve: every node takes the label of the nearest labelled node
// in steps of the neighbourhood, a labelled node its own; a vanished seed has no zone.
TEST(TavrinLabelsTest, NearestLabelsPartitionTheGridAmongTheFinalLabels) {
  const GridProblem<2> g = FromDrawing({"..........",  //
                                        ".99....99.",  //
                                        ".99....99.",  //
                                        ".........."},
                                       kEdgeWeight);
  const Array<2, unsigned short> seeds = LabelArray<2>(g.dims, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                                                0, 1, 0, 0, 0, 0, 0, 0, 2, 0,  //
                                                                0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                                                0, 0, 0, 0, 5, 0, 0, 0, 0, 0});
  Labels<2> solver;
  solver.SetInitialLabelingRef(seeds);
  g.Load(solver);
  std::vector<uint32_t> nearest(g.Nodes(), 99);
  solver.ComputeMaxFlow();
  ASSERT_TRUE(solver.LabelZones(nearest.data()));
  // Seed 5 lies on background and vanishes; 4-neighbour steps split the gap between the blobs
  // down the middle.
  const std::vector<uint32_t> expected{1, 1, 1, 1, 1, 2, 2, 2, 2, 2,  //
                                       1, 1, 1, 1, 1, 2, 2, 2, 2, 2,  //
                                       1, 1, 1, 1, 1, 2, 2, 2, 2, 2,  //
                                       1, 1, 1, 1, 1, 2, 2, 2, 2, 2};
  EXPECT_EQ(nearest, expected);

  // Without any label left every zone is 0; a two-phase solver has no zones.
  const Array<2, unsigned short> none = LabelArray<2>(g.dims, std::vector<unsigned short>(40, 0));
  Labels<2> unlabelled;
  unlabelled.SetInitialLabelingRef(none);
  g.Load(unlabelled);
  unlabelled.ComputeMaxFlow();
  ASSERT_TRUE(unlabelled.LabelZones(nearest.data()));
  EXPECT_EQ(nearest, std::vector<uint32_t>(40, 0));
  TwoPhase<2> two_phase;
  g.Load(two_phase);
  two_phase.ComputeMaxFlow();
  EXPECT_FALSE(two_phase.LabelZones(nearest.data()));
}

// With heavy edges the two-phase cut closes a dark hole in a cell; the hole takes the cell's
// label even though no seed lies on it, and a seed on the hole keeps its own label there.
TEST(TavrinLabelsTest, ClosedHoleTakesTheLabelAroundIt) {
  const std::vector<std::string> image{".......",  //
                                       ".99999.",  //
                                       ".99.99.",  //
                                       ".99999.",  //
                                       "......."};
  EXPECT_EQ(Solve(image,
                  {".......",  //
                   ".5.....",  //
                   ".......",  //
                   ".......",  //
                   "......."},
                  1.5f),
            (std::vector<std::string>{".......",  //
                                      ".55555.",  //
                                      ".55555.",  //
                                      ".55555.",  //
                                      "......."}));
  EXPECT_EQ(Solve(image,
                  {".......",  //
                   ".5.....",  //
                   "...6...",  //
                   ".......",  //
                   "......."},
                  1.5f),
            (std::vector<std::string>{".......",  //
                                      ".55666.",  //
                                      ".56666.",  //
                                      ".56666.",  //
                                      "......."}));
}

// Random planar and spatial problems with one seed label on a few random squares or cubes.
template <size_t N>
GridProblem<N> ImageProblem(const Vector<N, size_t>& dims, size_t nb_size, unsigned seed) {
  GridProblem<N> g = kerf_testing::RandomProblem<N>(dims, nb_size, seed);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (float& c : g.edge) c = 0.2f + 0.3f * unit(rng);  // every edge present
  return g;
}

template <size_t N>
std::vector<unsigned short> RandomSeeds(const GridProblem<N>& g, const std::vector<int>& labels,
                                        unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<unsigned short> seeds(g.Nodes(), 0);
  for (int label : labels)
    for (int square = 0; square < 3; ++square) {
      const size_t centre = rng() % g.Nodes();
      seeds[centre] = static_cast<unsigned short>(label);
      for (size_t k = 0; k < g.nb.Elems(); ++k) {
        size_t q = 0;
        if (g.Neighbour(centre, k, q)) seeds[q] = static_cast<unsigned short>(label);
      }
    }
  return seeds;
}

template <size_t N>
std::vector<bool> TwoPhaseSide(const GridProblem<N>& g) {
  TwoPhase<N> solver;
  g.Load(solver);
  solver.ComputeMaxFlow();
  std::vector<bool> side(g.Nodes());
  for (size_t p = 0; p < g.Nodes(); ++p) side[p] = solver.IsSourceSide(p);
  return side;
}

template <size_t N>
std::vector<unsigned short> LabelsOf(const GridProblem<N>& g,
                                     const std::vector<unsigned short>& seeds, float* flow) {
  const Array<N, unsigned short> initial = LabelArray<N>(g.dims, seeds);
  Labels<N> solver;
  solver.SetInitialLabelingRef(initial);
  g.Load(solver);
  *flow = solver.ComputeMaxFlow();
  std::vector<unsigned short> result(g.Nodes());
  for (size_t p = 0; p < g.Nodes(); ++p) result[p] = solver.NodeLabel(p);
  return result;
}

// Returns the number of labelled nodes, so that the caller can tell the cases apart in which the
// seed survives.
template <size_t N>
size_t ExpectSingleLabelIsRestrictedTwoPhaseCut(const GridProblem<N>& g, unsigned seed) {
  const std::vector<unsigned short> seeds = RandomSeeds(g, {5}, seed);
  const std::vector<bool> side = TwoPhaseSide(g);
  const std::vector<int> component = Components(g, side);
  std::set<int> seeded;
  for (size_t p = 0; p < g.Nodes(); ++p)
    if (side[p] && seeds[p] != 0) seeded.insert(component[p]);
  float flow = 0;
  const std::vector<unsigned short> labels = LabelsOf(g, seeds, &flow);
  size_t labelled = 0;
  for (size_t p = 0; p < g.Nodes(); ++p) {
    const bool expected = side[p] && seeded.count(component[p]) != 0;
    EXPECT_EQ(labels[p], expected ? 5 : 0) << "node " << p << " seed " << seed;
    labelled += labels[p] != 0;
  }
  return labelled;
}

TEST(TavrinLabelsTest, SingleLabelAgreesWithTheTwoPhaseCutRestrictedToTheSeedsComponents) {
  size_t surviving_planar = 0, surviving_spatial = 0;
  for (unsigned seed = 1; seed <= 6; ++seed) {
    surviving_planar += ExpectSingleLabelIsRestrictedTwoPhaseCut(
                            ImageProblem<2>(Vector<2, size_t>(40, 30), 8, seed), seed) > 0;
    surviving_spatial += ExpectSingleLabelIsRestrictedTwoPhaseCut(
                             ImageProblem<3>(Vector<3, size_t>(12, 10, 8), 6, seed), seed) > 0;
  }
  EXPECT_GE(surviving_planar, 3u);
  EXPECT_GE(surviving_spatial, 3u);
}

// Many labels: the flow is the two-phase flow, labels come from the seeds, only the two-phase
// source side is labelled, and every region of one label holds a seed of that label.
template <size_t N>
void ExpectLabelInvariants(const GridProblem<N>& g, unsigned seed) {
  const std::vector<int> seed_labels{1, 2, 3, 4, 5, 6, 7};
  const std::vector<unsigned short> seeds = RandomSeeds(g, seed_labels, seed);
  const std::vector<bool> side = TwoPhaseSide(g);
  float flow = 0;
  const std::vector<unsigned short> labels = LabelsOf(g, seeds, &flow);
  TwoPhase<N> two_phase;
  g.Load(two_phase);
  EXPECT_NEAR(flow, two_phase.ComputeMaxFlow(), 1e-4 * std::max(1.0f, flow));
  std::vector<bool> labelled(g.Nodes());
  for (size_t p = 0; p < g.Nodes(); ++p) {
    labelled[p] = labels[p] != 0;
    EXPECT_TRUE(labels[p] == 0 || side[p]) << p;
    EXPECT_TRUE(labels[p] <= 7) << p;
  }
  for (int label : seed_labels) {
    std::vector<bool> region(g.Nodes());
    for (size_t p = 0; p < g.Nodes(); ++p) region[p] = labels[p] == label;
    const std::vector<int> component = Components(g, region);
    std::map<int, bool> holds_seed;
    for (size_t p = 0; p < g.Nodes(); ++p)
      if (region[p]) holds_seed[component[p]] |= seeds[p] == label;
    for (const auto& [c, has] : holds_seed)
      EXPECT_TRUE(has) << "label " << label << " region " << c;
  }
  // Source-side components without any seed stay background.
  const std::vector<int> component = Components(g, side);
  std::set<int> seeded;
  for (size_t p = 0; p < g.Nodes(); ++p)
    if (side[p] && seeds[p] != 0) seeded.insert(component[p]);
  for (size_t p = 0; p < g.Nodes(); ++p) {
    if (!side[p]) continue;
    EXPECT_EQ(labelled[p], seeded.count(component[p]) != 0) << p;
  }
}

// Steps from every node to the nearest node for which `from` holds, by breadth-first search over
// the neighbourhood's offsets; -1 where none is reached.
template <size_t N>
std::vector<int> StepsFrom(const GridProblem<N>& g, const std::vector<bool>& from) {
  std::vector<int> steps(g.Nodes(), -1);
  std::vector<size_t> queue;
  for (size_t p = 0; p < g.Nodes(); ++p)
    if (from[p]) {
      steps[p] = 0;
      queue.push_back(p);
    }
  for (size_t i = 0; i < queue.size(); ++i)
    for (size_t k = 0; k < g.nb.Elems(); ++k) {
      size_t q = 0;
      if (g.Neighbour(queue[i], k, q) && steps[q] < 0) {
        steps[q] = steps[queue[i]] + 1;
        queue.push_back(q);
      }
    }
  return steps;
}

// Property check of the zones on random problems: every node's zone is a label at the least
// number of steps from it, and a labelled node's zone is its own label.
template <size_t N>
void ExpectZonesAreNearestLabels(const GridProblem<N>& g, unsigned seed) {
  const Array<N, unsigned short> initial =
      LabelArray<N>(g.dims, RandomSeeds(g, {1, 2, 3, 4, 5, 6, 7}, seed));
  Labels<N> solver;
  solver.SetInitialLabelingRef(initial);
  g.Load(solver);
  solver.ComputeMaxFlow();
  std::vector<uint32_t> zone(g.Nodes());
  ASSERT_TRUE(solver.LabelZones(zone.data()));
  std::vector<bool> labelled(g.Nodes());
  for (size_t p = 0; p < g.Nodes(); ++p) labelled[p] = solver.NodeLabel(p) != 0;
  const std::vector<int> any = StepsFrom(g, labelled);
  std::map<uint32_t, std::vector<int>> own;
  for (size_t p = 0; p < g.Nodes(); ++p) {
    if (labelled[p]) {
      EXPECT_EQ(zone[p], solver.NodeLabel(p)) << "seed " << seed << " node " << p;
    }
    if (any[p] < 0) {
      EXPECT_EQ(zone[p], 0u) << "seed " << seed << " node " << p;
      continue;
    }
    if (!own.count(zone[p])) {
      std::vector<bool> of_label(g.Nodes());
      for (size_t q = 0; q < g.Nodes(); ++q) of_label[q] = solver.NodeLabel(q) == zone[p];
      own[zone[p]] = StepsFrom(g, of_label);
    }
    EXPECT_EQ(own[zone[p]][p], any[p]) << "seed " << seed << " node " << p;
  }
}

TEST(TavrinLabelsTest, ZonesAreTheNearestLabelsInSteps) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    ExpectZonesAreNearestLabels(kerf_testing::RandomProblem<2>(Vector<2, size_t>(23, 17), 4, seed),
                                seed);
    ExpectZonesAreNearestLabels(kerf_testing::RandomProblem<2>(Vector<2, size_t>(19, 26), 8, seed),
                                seed);
    ExpectZonesAreNearestLabels(kerf_testing::RandomProblem<3>(Vector<3, size_t>(9, 8, 7), 6, seed),
                                seed);
    ExpectZonesAreNearestLabels(
        kerf_testing::RandomProblem<3>(Vector<3, size_t>(7, 9, 6), 26, seed), seed);
  }
}

TEST(TavrinLabelsTest, LabelsComeFromSeedsAndStayOnTheSourceSide) {
  for (unsigned seed = 1; seed <= 5; ++seed) {
    ExpectLabelInvariants(ImageProblem<2>(Vector<2, size_t>(45, 35), 8, seed), seed);
    ExpectLabelInvariants(ImageProblem<3>(Vector<3, size_t>(12, 12, 8), 6, seed), seed);
  }
}

// Repairs after new terminals keep the labels within the seeds and the current source side.
TEST(TavrinLabelsTest, RepairedSolveKeepsLabelsOnTheNewSourceSide) {
  GridProblem<2> g = ImageProblem<2>(Vector<2, size_t>(40, 40), 8, 9);
  const Array<2, unsigned short> initial = LabelArray<2>(g.dims, RandomSeeds(g, {1, 2, 3}, 9));
  Labels<2> solver;
  solver.SetInitialLabelingRef(initial);
  g.Load(solver);
  solver.ComputeMaxFlow();
  std::mt19937 rng(4);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < 4; ++round) {
    for (float& s : g.source) s = std::max(0.0f, s + 0.4f * (unit(rng) - 0.5f));
    solver.SetTerminalCapacities(g.source.data(), g.sink.data());
    const float flow = solver.ComputeMaxFlow();
    TwoPhase<2> fresh;
    g.Load(fresh);
    EXPECT_NEAR(flow, fresh.ComputeMaxFlow(), 1e-4 * std::max(1.0f, flow));
    const std::vector<bool> side = TwoPhaseSide(g);
    for (size_t p = 0; p < g.Nodes(); ++p) {
      EXPECT_LE(solver.NodeLabel(p), 3) << p;
      EXPECT_TRUE(solver.NodeLabel(p) == 0 || side[p]) << p;
    }
  }
}

TEST(TavrinLabelsTest, RefusesMissingOrMismatchedLabellingAndEarlyQueries) {
  const std::string name = "Kerf::Flow::Grid::TavrinLabels<2,float,float,float,unsigned short,0>::";
  const GridProblem<2> g = ImageProblem<2>(Vector<2, size_t>(6, 5), 4, 1);
  Labels<2> solver;
  g.Load(solver);
  auto expect = [&](auto&& f, const std::string& method, const std::string& message) {
    try {
      f();
      ADD_FAILURE() << "no exception for " << method;
    } catch (const Kerf::System::ArgumentException& e) {
      EXPECT_EQ(e.Method(), name + method);
      EXPECT_EQ(std::string(e.what()), message);
    }
  };
  expect([&] { solver.ComputeMaxFlow(); }, "ComputeMaxFlow",
         "The initial labelling must be set and match the grid.");
  const Array<2, unsigned short> wrong(Vector<2, size_t>(5, 6));
  solver.SetInitialLabelingRef(wrong);
  expect([&] { solver.ComputeMaxFlow(); }, "ComputeMaxFlow",
         "The initial labelling must be set and match the grid.");
  expect([&] { solver.NodeLabel(0); }, "NodeLabel",
         "The flow must be computed and the node be in the grid.");
  const Array<2, unsigned short> right = LabelArray<2>(g.dims, std::vector<unsigned short>(30, 1));
  solver.SetInitialLabelingRef(right);
  solver.ComputeMaxFlow();
  expect([&] { solver.NodeLabel(30); }, "NodeLabel",
         "The flow must be computed and the node be in the grid.");
}

}  // namespace
