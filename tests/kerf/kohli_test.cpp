// The two-phase grid max-flow: small graphs drawn by hand with their flow and cut, grouped edge
// cases and refusals, and random grid graphs against Boost.Graph, before and after terminal
// updates that the solver repairs instead of solving anew.
#include "kerf/kohli.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "grid_problem.h"
#include "kerf/exceptions.h"

namespace {

using Kerf::Flow::kFreshSolve;
using Kerf::Flow::kReuseSearchTrees;
using Kerf::Flow::Grid::Kohli;
using Kerf::Math::Algebra::Vector;
using kerf_testing::BoostMaxFlow;
using kerf_testing::CutCapacity;
using kerf_testing::GridProblem;
using kerf_testing::RandomProblem;

using Kohli2 = Kohli<2, float, float, float, kReuseSearchTrees>;
using Kohli3 = Kohli<3, float, float, float, kReuseSearchTrees>;

constexpr double kRelativeTolerance = 1e-5;

double Tolerance(double value) {
  return kRelativeTolerance * std::max(1.0, std::abs(value));
}

// An X x Y grid with the 4-neighbourhood and no capacities yet.
GridProblem<2> EmptyGrid(size_t x, size_t y) {
  GridProblem<2> g;
  g.dims = Vector<2, size_t>(x, y);
  g.nb.Common(4, false);
  g.edge.assign(g.Nodes() * 4, 0.0f);
  g.source.assign(g.Nodes(), 0.0f);
  g.sink.assign(g.Nodes(), 0.0f);
  return g;
}

// The same capacity both ways between p and its neighbour along offset k.
void Join(GridProblem<2>& g, size_t p, size_t k, float capacity) {
  size_t q = 0;
  ASSERT_TRUE(g.Neighbour(p, k, q));
  g.edge[p * 4 + k] = capacity;
  g.edge[q * 4 + g.Opposite(k)] = capacity;
}

std::vector<bool> Sides(const Kerf::Flow::IGridMaxFlow<2, float, float, float>& solver) {
  std::unique_ptr<bool[]> side(new bool[solver.Nodes()]);
  solver.SourceSide(side.get());
  return std::vector<bool>(side.get(), side.get() + solver.Nodes());
}

constexpr size_t kRight = 0, kDown = 2;  // offsets (1, 0) and (0, 1) of Common(4)

//   s =5=> a --2-- b --3-- c --1-- d =4=> t
// The weakest link c-d carries the whole flow 1; a, b and c stay with the source.
TEST(KohliTest, ChainIsCutAtItsWeakestLink) {
  GridProblem<2> g = EmptyGrid(4, 1);
  Join(g, 0, kRight, 2);
  Join(g, 1, kRight, 3);
  Join(g, 2, kRight, 1);
  g.source[0] = 5;
  g.sink[3] = 4;
  Kohli2 solver;
  g.Load(solver);
  EXPECT_FLOAT_EQ(solver.ComputeMaxFlow(), 1.0f);
  EXPECT_EQ(Sides(solver), (std::vector<bool>{true, true, true, false}));
}

//   s =4=> a --2-- b --2-- c =3=> t
//          |1      |1      |1
//   s =4=> d --2-- e --2-- f =3=> t
// Both {a, d} and {a, b, d, e} cut 4; the solver reports the smaller source side.
TEST(KohliTest, TwoRowsReportTheSmallestSourceSide) {
  GridProblem<2> g = EmptyGrid(3, 2);
  for (size_t p : {0, 1, 3, 4}) Join(g, p, kRight, 2);
  for (size_t p : {0, 1, 2}) Join(g, p, kDown, 1);
  g.source[0] = g.source[3] = 4;
  g.sink[2] = g.sink[5] = 3;
  Kohli2 solver;
  g.Load(solver);
  EXPECT_FLOAT_EQ(solver.ComputeMaxFlow(), 4.0f);
  EXPECT_EQ(Sides(solver), (std::vector<bool>{true, false, false, true, false, false}));
  const bool reported[6] = {true, false, false, true, false, false};
  const bool wider[6] = {true, true, false, true, true, false};
  EXPECT_DOUBLE_EQ(CutCapacity(g, reported), 4.0);
  EXPECT_DOUBLE_EQ(CutCapacity(g, wider), 4.0);
}

// Edges along one offset only: a -> b -> c. Flow runs with the edges, never against them.
TEST(KohliTest, OneWayEdgesCarryFlowOnlyForwards) {
  Kerf::Energy::Neighbourhood<2, int> right;
  right.Resize(Vector<1, size_t>(1));
  right[0] = Vector<2, int>(1, 0);
  const std::vector<float> edge{2, 2, 2};
  for (bool forwards : {true, false}) {
    std::vector<float> source{0, 0, 0}, sink{0, 0, 0};
    (forwards ? source[0] : source[2]) = 5;
    (forwards ? sink[2] : sink[0]) = 5;
    Kohli2 solver;
    solver.SetGrid(Vector<2, size_t>(3, 1), right);
    solver.SetEdgeCapacities(edge.data());
    solver.SetTerminalCapacities(source.data(), sink.data());
    EXPECT_FLOAT_EQ(solver.ComputeMaxFlow(), forwards ? 2.0f : 0.0f);
  }
}

// One node: the flow is the smaller terminal capacity, and the node joins the source only when
// its source capacity is strictly larger. Negative capacities shift every cut alike.
TEST(KohliTest, SingleNodeEdgeCases) {
  struct Case {
    float source, sink, flow;
    bool source_side;
  };
  for (const Case& c : {Case{5, 3, 3, true}, Case{3, 5, 3, false}, Case{4, 4, 4, false},
                        Case{0, 0, 0, false}, Case{-1, 2, -1, false}, Case{2, -3, -3, true}}) {
    Kohli2 solver;
    Kerf::Energy::Neighbourhood<2, int> nb;
    solver.SetGrid(Vector<2, size_t>(1, 1), nb.Common(8, false));
    const std::vector<float> w(8, 1.0f);
    solver.SetDirectionCapacities(w.data());
    solver.SetTerminalCapacities(&c.source, &c.sink);
    EXPECT_FLOAT_EQ(solver.ComputeMaxFlow(), c.flow) << c.source << " " << c.sink;
    EXPECT_EQ(solver.IsSourceSide(0), c.source_side) << c.source << " " << c.sink;
  }
}

template <class F>
void ExpectRefusal(F&& f, const std::string& method, const std::string& message) {
  try {
    f();
    ADD_FAILURE() << "no exception for " << message;
  } catch (const Kerf::System::ArgumentException& e) {
    EXPECT_EQ(e.Method(), method);
    EXPECT_EQ(std::string(e.what()), message);
  }
}

TEST(KohliTest, RefusesMisuseWithArgumentException) {
  const std::string name = "Kerf::Flow::Grid::Kohli<2,float,float,float,0>::";
  Kohli2 solver;
  const std::vector<float> ones(64, 1.0f), minus(64, -1.0f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ExpectRefusal([&] { solver.SetDirectionCapacities(ones.data()); },
                name + "SetDirectionCapacities", "The grid must be set first.");
  Kerf::Energy::Neighbourhood<2, int> nb;
  nb.Common(4, true);
  ExpectRefusal([&] { solver.SetGrid(Vector<2, size_t>(4, 4), nb); }, name + "SetGrid",
                "The neighbourhood must not contain the origin.");
  nb.Common(4, false);
  nb[1] = nb[0];
  ExpectRefusal([&] { solver.SetGrid(Vector<2, size_t>(4, 4), nb); }, name + "SetGrid",
                "The neighbourhood must not repeat an offset.");
  solver.SetGrid(Vector<2, size_t>(4, 4), nb.Common(4, false));
  ExpectRefusal([&] { solver.SetDirectionCapacities(minus.data()); },
                name + "SetDirectionCapacities", "Edge capacities must be non-negative numbers.");
  std::vector<float> edges(64, 1.0f);
  edges[17] = nan;
  ExpectRefusal([&] { solver.SetEdgeCapacities(edges.data()); }, name + "SetEdgeCapacities",
                "Edge capacities must be non-negative numbers.");
  ExpectRefusal([&] { solver.ComputeMaxFlow(); }, name + "ComputeMaxFlow",
                "The terminal capacities must be set before the flow.");
  std::vector<float> source(16, 1.0f);
  source[3] = std::numeric_limits<float>::infinity();
  ExpectRefusal([&] { solver.SetTerminalCapacities(source.data(), ones.data()); },
                name + "SetTerminalCapacities", "Terminal capacities must be finite.");
  ExpectRefusal([&] { solver.IsSourceSide(0); }, name + "IsSourceSide",
                "The flow must be computed and the node be in the grid.");
  solver.SetTerminalCapacities(ones.data(), ones.data());
  solver.ComputeMaxFlow();
  ExpectRefusal([&] { solver.IsSourceSide(16); }, name + "IsSourceSide",
                "The flow must be computed and the node be in the grid.");
}

template <size_t N, int Flags>
void ExpectMatchesBoost(const GridProblem<N>& g, const char* what) {
  Kohli<N, float, float, float, Flags> solver;
  g.Load(solver);
  const double flow = solver.ComputeMaxFlow();
  const double reference = BoostMaxFlow(g);
  EXPECT_NEAR(flow, reference, Tolerance(reference)) << what;
  std::unique_ptr<bool[]> side(new bool[g.Nodes()]);
  solver.SourceSide(side.get());
  EXPECT_NEAR(CutCapacity(g, side.get()), flow, Tolerance(flow)) << what;
}

TEST(KohliTest, FlowAndCutMatchBoostOnRandomPlanarGrids) {
  for (size_t nb : {4, 8, 16})
    for (unsigned seed = 1; seed <= 4; ++seed) {
      const GridProblem<2> g = RandomProblem<2>(Vector<2, size_t>(37, 23), nb, seed);
      ExpectMatchesBoost<2, kReuseSearchTrees>(g, "2D");
      ExpectMatchesBoost<2, kFreshSolve>(g, "2D fresh");
    }
}

TEST(KohliTest, FlowAndCutMatchBoostOnRandomSpatialGrids) {
  for (size_t nb : {6, 26})
    for (unsigned seed = 1; seed <= 3; ++seed) {
      const GridProblem<3> g = RandomProblem<3>(Vector<3, size_t>(11, 9, 7), nb, seed);
      ExpectMatchesBoost<3, kReuseSearchTrees>(g, "3D");
    }
}

// Strong terminals make long augmenting paths and many orphans; weak ones leave most nodes free.
TEST(KohliTest, FlowMatchesBoostForStrongAndWeakTerminals) {
  for (float scale : {0.05f, 20.0f}) {
    ExpectMatchesBoost<2, kReuseSearchTrees>(
        RandomProblem<2>(Vector<2, size_t>(40, 40), 8, 11, scale), "2D");
    ExpectMatchesBoost<3, kReuseSearchTrees>(
        RandomProblem<3>(Vector<3, size_t>(12, 12, 6), 6, 12, scale), "3D");
  }
}

TEST(KohliTest, DirectionCapacitiesEqualTheSameCapacityOnEveryEdge) {
  GridProblem<2> g = RandomProblem<2>(Vector<2, size_t>(20, 15), 8, 5);
  const std::vector<float> w{0.3f, 0.3f, 0.7f, 0.7f, 0.2f, 0.2f, 0.5f, 0.5f};
  for (size_t p = 0; p < g.Nodes(); ++p)
    for (size_t k = 0; k < 8; ++k) g.edge[p * 8 + k] = w[k];
  Kohli2 per_edge, per_direction;
  g.Load(per_edge);
  per_direction.SetGrid(g.dims, g.nb);
  per_direction.SetDirectionCapacities(w.data());
  per_direction.SetTerminalCapacities(g.source.data(), g.sink.data());
  EXPECT_FLOAT_EQ(per_direction.ComputeMaxFlow(), per_edge.ComputeMaxFlow());
  EXPECT_EQ(Sides(per_direction), Sides(per_edge));
}

// The ways terminal capacities change between two Chan-Vese cuts and worse: every node a little,
// a few nodes a lot, and sides swapped.
template <size_t N>
void ChangeTerminals(GridProblem<N>& g, int round, std::mt19937& rng) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (size_t p = 0; p < g.Nodes(); ++p) {
    if (round % 3 == 0) {
      g.source[p] = std::max(0.0f, g.source[p] + 0.1f * (unit(rng) - 0.5f));
      g.sink[p] = std::max(0.0f, g.sink[p] + 0.1f * (unit(rng) - 0.5f));
    } else if (round % 3 == 1 && unit(rng) < 0.05f) {
      g.source[p] = 3 * unit(rng);
      g.sink[p] = 3 * unit(rng);
    } else if (round % 3 == 2 && unit(rng) < 0.3f) {
      std::swap(g.source[p], g.sink[p]);
    }
  }
}

template <size_t N>
void ExpectRepairsMatchFreshSolves(GridProblem<N> g, unsigned seed) {
  std::mt19937 rng(seed);
  Kohli<N, float, float, float, kReuseSearchTrees> reused;
  g.Load(reused);
  reused.ComputeMaxFlow();
  for (int round = 0; round < 6; ++round) {
    ChangeTerminals(g, round, rng);
    reused.SetTerminalCapacities(g.source.data(), g.sink.data());
    const double repaired = reused.ComputeMaxFlow();
    Kohli<N, float, float, float, kReuseSearchTrees> fresh;
    g.Load(fresh);
    const double reference = fresh.ComputeMaxFlow();
    EXPECT_NEAR(repaired, reference, Tolerance(reference)) << "round " << round;
    std::unique_ptr<bool[]> side(new bool[g.Nodes()]);
    reused.SourceSide(side.get());
    EXPECT_NEAR(CutCapacity(g, side.get()), repaired, Tolerance(repaired)) << "round " << round;
  }
  EXPECT_NEAR(reused.ComputeMaxFlow(), BoostMaxFlow(g), Tolerance(BoostMaxFlow(g)));
}

TEST(KohliTest, RepairAfterTerminalUpdatesMatchesFreshSolve) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    ExpectRepairsMatchFreshSolves(RandomProblem<2>(Vector<2, size_t>(31, 27), 8, seed), seed);
    ExpectRepairsMatchFreshSolves(RandomProblem<2>(Vector<2, size_t>(25, 25), 16, seed), seed);
    ExpectRepairsMatchFreshSolves(RandomProblem<3>(Vector<3, size_t>(10, 9, 8), 6, seed), seed);
    ExpectRepairsMatchFreshSolves(RandomProblem<3>(Vector<3, size_t>(8, 8, 6), 26, seed), seed);
  }
}

// Many small changes in a row, as the means of a converging Chan-Vese run move: every repair
// must keep the trees sound (a broken tree shows as a wrong flow or a search that never ends).
TEST(KohliTest, LongSeriesOfSmallRepairsStaysExact) {
  GridProblem<2> planar = RandomProblem<2>(Vector<2, size_t>(30, 24), 16, 31);
  GridProblem<3> spatial = RandomProblem<3>(Vector<3, size_t>(9, 8, 7), 26, 32);
  Kohli2 solver2;
  Kohli3 solver3;
  planar.Load(solver2);
  spatial.Load(solver3);
  solver2.ComputeMaxFlow();
  solver3.ComputeMaxFlow();
  std::mt19937 rng(33);
  for (int round = 0; round < 30; ++round) {
    ChangeTerminals(planar, 3 * round, rng);  // every node a little
    ChangeTerminals(spatial, 3 * round, rng);
    solver2.SetTerminalCapacities(planar.source.data(), planar.sink.data());
    solver3.SetTerminalCapacities(spatial.source.data(), spatial.sink.data());
    const double f2 = solver2.ComputeMaxFlow(), f3 = solver3.ComputeMaxFlow();
    Kohli2 fresh2;
    Kohli3 fresh3;
    planar.Load(fresh2);
    spatial.Load(fresh3);
    ASSERT_NEAR(f2, fresh2.ComputeMaxFlow(), Tolerance(f2)) << "round " << round;
    ASSERT_NEAR(f3, fresh3.ComputeMaxFlow(), Tolerance(f3)) << "round " << round;
  }
}

// New edge capacities after a solve discard the old flow.
TEST(KohliTest, NewEdgesStartAfresh) {
  GridProblem<2> a = RandomProblem<2>(Vector<2, size_t>(15, 15), 8, 21);
  const GridProblem<2> b = RandomProblem<2>(Vector<2, size_t>(15, 15), 8, 22);
  Kohli2 solver;
  a.Load(solver);
  solver.ComputeMaxFlow();
  b.Load(solver);
  EXPECT_NEAR(solver.ComputeMaxFlow(), BoostMaxFlow(b), Tolerance(BoostMaxFlow(b)));
}

}  // namespace
