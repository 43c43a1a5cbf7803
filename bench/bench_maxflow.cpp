// Speed of the grid max-flow and of graph-cut Chan-Vese on realistic frame sizes: one max-flow
// with Chan-Vese terminals on a 1024 x 1024 8-connected grid and on a 256 x 256 x 64 6-connected
// grid, graph set-up included; the re-solve after a means update, repaired against fresh; and one
// whole Chan-Vese segmentation of a 1024 x 1024 frame, two-phase and label-preserving. The 2D frame
// is GOWT1's t000.tif when the shared data are present, otherwise blobs on noise; the 3D one is
// always synthetic.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "kerf/buffer_pool.h"
#include "kerf/cauchy_crofton.h"
#include "kerf/chan_vese.h"
#include "kerf/image.h"
#include "kerf/kohli.h"
#include "kerf/neighbourhood.h"
#include "kerf/stop_watch.h"
#include "kerf/tavrin_labels.h"
#include "voxa/gibou_fedkiw.h"
#include "voxa/gray_to_float.h"
#include "voxa/image3d.h"
#include "voxa/labeled_image3d.h"
#include "voxa/neighbourhood.h"

namespace {

using Kerf::Math::Algebra::Vector;
template <size_t N>
using Image = Kerf::Data::Image<N, float, float>;
template <size_t N, int Flags>
using Solver = Kerf::Flow::Grid::Kohli<N, float, float, float, Flags>;

// Region weight of both phases for grey values in [0, 1]; with length weight 1 it keeps
// nuclei-sized objects and drops single-pixel noise. The max-flow benchmarks also run with a
// weaker and a stronger weight: a weaker one leaves more flow to route through the grid.
constexpr float kLambda = 20.0f;
constexpr float kTrackerLambda = 30.0f;
constexpr uint64_t kMinObject = 100;  // voxels, the tracker's minimum object size in 2D

// The shared data lie next to the project's checkout: ../shared/data from the source tree.
std::filesystem::path SharedData() {
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "shared" /
         "data";
}

// Blobs of random size and brightness on a dim background with noise, values in [0, 1].
template <size_t N>
Image<N> Blobs(const Vector<N, size_t>& dims, unsigned seed) {
  Image<N> image;
  image.Resize(dims);
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 0.08f);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  struct Blob {
    float at[3], radius, brightness;
  };
  std::vector<Blob> blobs(N == 2 ? 60 : 40);
  for (Blob& b : blobs) {
    for (size_t a = 0; a < 3; ++a) b.at[a] = a < N ? unit(rng) * dims[a] : 0;
    b.radius = 8 + 20 * unit(rng);
    b.brightness = 0.3f + 0.5f * unit(rng);
  }
  for (size_t p = 0; p < image.Elems(); ++p) {
    size_t rest = p;
    float c[3] = {0, 0, 0};
    for (size_t a = 0; a < N; ++a) {
      c[a] = static_cast<float>(rest % dims[a]);
      rest /= dims[a];
    }
    float v = 0.1f;
    for (const Blob& b : blobs) {
      float d2 = 0;
      for (size_t a = 0; a < N; ++a) d2 += (c[a] - b.at[a]) * (c[a] - b.at[a]);
      if (d2 < b.radius * b.radius) v = std::max(v, b.brightness);
    }
    image[p] = std::clamp(v + noise(rng), 0.0f, 1.0f);
  }
  return image;
}

// GOWT1's first frame scaled to [0, 1], or blobs when the data are absent.
const Image<2>& Frame2D() {
  static const Image<2> frame = [] {
    const std::string name = (SharedData() / "Fluo-N2DH-GOWT1/01/t000.tif").string();
    if (!std::filesystem::exists(name)) return Blobs<2>(Vector<2, size_t>(1024, 1024), 1);
    voxa::Image3d<unsigned char> grey;
    grey.ReadImage(name.c_str());
    const auto [lo, hi] = std::minmax_element(grey.begin(), grey.end());
    const float scale = *hi > *lo ? 1.0f / (*hi - *lo) : 1.0f;
    Image<2> image;
    image.Resize(Vector<2, size_t>(grey.GetSizeX(), grey.GetSizeY()));
    for (size_t p = 0; p < image.Elems(); ++p) image[p] = (grey.GetVoxel(p) - *lo) * scale;
    return image;
  }();
  return frame;
}

const Image<3>& Frame3D() {
  static const Image<3> frame = Blobs<3>(Vector<3, size_t>(256, 256, 64), 2);
  return frame;
}

// Starting means: the averages below and above the image's mean.
template <size_t N>
void SplitMeans(const Image<N>& image, float& c1, float& c2) {
  double total = 0;
  for (float v : image) total += v;
  const double mean = total / image.Elems();
  double sum[2] = {0, 0};
  size_t count[2] = {0, 0};
  for (float v : image) {
    sum[v > mean] += v;
    ++count[v > mean];
  }
  c1 = static_cast<float>(sum[0] / std::max<size_t>(1, count[0]));
  c2 = static_cast<float>(sum[1] / std::max<size_t>(1, count[1]));
}

template <size_t N>
void Terminals(const Image<N>& image, float c1, float c2, std::vector<float>& source,
               std::vector<float>& sink, float lambda = kLambda) {
  source.resize(image.Elems());
  sink.resize(image.Elems());
  for (size_t p = 0; p < image.Elems(); ++p) {
    source[p] = lambda * (image[p] - c1) * (image[p] - c1);
    sink[p] = lambda * (image[p] - c2) * (image[p] - c2);
  }
}

// The means of the two sides of the solver's cut.
template <size_t N>
void CutMeans(const Image<N>& image, const Kerf::Flow::IGridMaxFlow<N, float, float, float>& s,
              float& c1, float& c2) {
  std::vector<char> side(image.Elems());
  s.SourceSide(reinterpret_cast<bool*>(side.data()));
  double sum[2] = {0, 0};
  size_t count[2] = {0, 0};
  for (size_t p = 0; p < image.Elems(); ++p) {
    sum[side[p] != 0] += image[p];
    ++count[side[p] != 0];
  }
  if (count[0]) c1 = static_cast<float>(sum[0] / count[0]);
  if (count[1]) c2 = static_cast<float>(sum[1] / count[1]);
}

template <size_t N>
struct Problem {
  const Image<N>& image;
  Kerf::Energy::Neighbourhood<N, int> nb;
  std::vector<float> weights, source, sink;
  float c1 = 0, c2 = 0;

  // Starts from `means` (c1, c2) when given, else from a split at the image's mean.
  Problem(const Image<N>& im, size_t nb_size, float lambda = kLambda,
          const std::pair<float, float>* means = nullptr)
      : image(im), lambda(lambda) {
    nb.Common(nb_size, false);
    weights = Kerf::Energy::CauchyCroftonWeights<N, float>(nb, image.GetSpacing());
    if (means)
      std::tie(c1, c2) = *means;
    else
      SplitMeans(image, c1, c2);
    Terminals(image, c1, c2, source, sink, lambda);
  }
  float lambda;
  template <int Flags>
  void Load(Solver<N, Flags>& solver) const {
    solver.SetGrid(image.Dim(), nb);
    solver.SetDirectionCapacities(weights.data());
    solver.SetTerminalCapacities(source.data(), sink.data());
  }
};

// Arg: the region weight. A new solver every time, as the tracker makes one per frame: its
// buffers come from the pool that the previous solver filled. The cold variant empties the
// pool first, as for the first frame of a run.
template <size_t N>
void FreshMaxFlow(benchmark::State& state, const Image<N>& image, size_t nb_size,
                  bool cold = false) {
  const Problem<N> problem(image, nb_size, static_cast<float>(state.range(0)));
  double flow = 0;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      Kerf::System::BufferPool::Release();
      state.ResumeTiming();
    }
    Solver<N, Kerf::Flow::kReuseSearchTrees> solver;
    problem.Load(solver);
    flow = solver.ComputeMaxFlow();
    benchmark::DoNotOptimize(flow);
  }
  state.counters["flow"] = flow;
}

// The graph set-up alone: grid, edge capacities, terminal capacities.
template <size_t N>
void SetUp(benchmark::State& state, const Image<N>& image, size_t nb_size) {
  const Problem<N> problem(image, nb_size);
  for (auto _ : state) {
    Solver<N, Kerf::Flow::kReuseSearchTrees> solver;
    problem.Load(solver);
    benchmark::DoNotOptimize(&solver);
  }
}

void BM_SetUp2D8(benchmark::State& state) {
  SetUp<2>(state, Frame2D(), 8);
}
BENCHMARK(BM_SetUp2D8)->Unit(benchmark::kMillisecond);

void BM_SetUp3D6(benchmark::State& state) {
  SetUp<3>(state, Frame3D(), 6);
}
BENCHMARK(BM_SetUp3D6)->Unit(benchmark::kMillisecond);

void BM_MaxFlow2D8(benchmark::State& state) {
  FreshMaxFlow<2>(state, Frame2D(), 8);
}
BENCHMARK(BM_MaxFlow2D8)->Arg(20)->Arg(5)->Arg(80)->Unit(benchmark::kMillisecond);

void BM_MaxFlow2D8Cold(benchmark::State& state) {
  FreshMaxFlow<2>(state, Frame2D(), 8, true);
}
BENCHMARK(BM_MaxFlow2D8Cold)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_MaxFlow3D6(benchmark::State& state) {
  FreshMaxFlow<3>(state, Frame3D(), 6);
}
BENCHMARK(BM_MaxFlow3D6)->Arg(20)->Arg(5)->Arg(80)->Unit(benchmark::kMillisecond);

void BM_MaxFlow3D6Cold(benchmark::State& state) {
  FreshMaxFlow<3>(state, Frame3D(), 6, true);
}
BENCHMARK(BM_MaxFlow3D6Cold)->Arg(20)->Unit(benchmark::kMillisecond);

// The label-preserving solver on the same 2D problem, seeded as a tracker seeds it: the bright
// voxels carry labels, here one per 64 x 64 tile, the rest 0.
void BM_LabelsMaxFlow2D8(benchmark::State& state) {
  const Image<2>& image = Frame2D();
  const Problem<2> problem(image, 8);
  const float threshold = (problem.c1 + problem.c2) / 2;
  Kerf::System::Collection::Array<2, unsigned short> seeds(image.Dim());
  constexpr size_t kTile = 64;
  const size_t x_size = image.Dim()[0];
  for (size_t p = 0; p < image.Elems(); ++p) {
    const size_t tile = (p % x_size) / kTile + x_size / kTile * ((p / x_size) / kTile);
    seeds[p] = image[p] > threshold ? static_cast<unsigned short>(1 + tile) : 0;
  }
  double flow = 0;
  for (auto _ : state) {
    Kerf::Flow::Grid::TavrinLabels<2, float, float, float, unsigned short,
                                   Kerf::Flow::kReuseSearchTrees>
        solver;
    solver.SetInitialLabelingRef(seeds);
    solver.SetGrid(image.Dim(), problem.nb);
    solver.SetDirectionCapacities(problem.weights.data());
    solver.SetTerminalCapacities(problem.source.data(), problem.sink.data());
    flow = solver.ComputeMaxFlow();
    benchmark::DoNotOptimize(flow);
  }
  state.counters["flow"] = flow;
}
BENCHMARK(BM_LabelsMaxFlow2D8)->Unit(benchmark::kMillisecond);

// Cut k of a Chan-Vese run: cuts 1 .. k-1 alternate with mean updates as in ChanVese::Compute,
// then the means of cut k-1 give new terminals. Args: (0 = repair the previous flow and trees,
// 1 = solve afresh with a new solver), k. The first update moves the means most; later ones
// move them less and leave less to repair.
template <size_t N>
void Resolve(benchmark::State& state, const Image<N>& image, size_t nb_size, float lambda = kLambda,
             const std::pair<float, float>* means = nullptr) {
  Problem<N> problem(image, nb_size, lambda, means);
  const bool repair = state.range(0) == 0;
  const int64_t cut = state.range(1);
  double flow = 0;
  std::vector<float> source, sink;
  for (auto _ : state) {
    state.PauseTiming();
    {
      auto solver = std::make_unique<Solver<N, Kerf::Flow::kReuseSearchTrees>>();
      problem.Load(*solver);
      solver->ComputeMaxFlow();
      float c1 = problem.c1, c2 = problem.c2;
      for (int64_t k = 2;; ++k) {
        CutMeans(image, *solver, c1, c2);
        Terminals(image, c1, c2, source, sink, lambda);
        if (k == cut) break;
        solver->SetTerminalCapacities(source.data(), sink.data());
        solver->ComputeMaxFlow();
      }
      if (repair) {
        state.ResumeTiming();
        solver->SetTerminalCapacities(source.data(), sink.data());
        flow = solver->ComputeMaxFlow();
        state.PauseTiming();
      }
    }  // the pool now holds the buffers, as for a solver of the next frame
    if (!repair) {
      state.ResumeTiming();
      Solver<N, Kerf::Flow::kReuseSearchTrees> fresh;
      fresh.SetGrid(image.Dim(), problem.nb);
      fresh.SetDirectionCapacities(problem.weights.data());
      fresh.SetTerminalCapacities(source.data(), sink.data());
      flow = fresh.ComputeMaxFlow();
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.counters["flow"] = flow;
  state.SetLabel(repair ? "repaired" : "fresh");
}

// The re-solve after the 1st and the 2nd means update, each repaired and fresh.
void RepairedAndFresh(benchmark::internal::Benchmark* b) {
  for (const int64_t cut : {2, 3}) b->Args({0, cut})->Args({1, cut});
}

void BM_Resolve2D8(benchmark::State& state) {
  Resolve<2>(state, Frame2D(), 8);
}
BENCHMARK(BM_Resolve2D8)->Apply(RepairedAndFresh)->Unit(benchmark::kMillisecond);

void BM_Resolve3D6(benchmark::State& state) {
  Resolve<3>(state, Frame3D(), 6);
}
BENCHMARK(BM_Resolve3D6)->Apply(RepairedAndFresh)->Unit(benchmark::kMillisecond);

// The tracker's own start: the frame on the graph cut's lifted scale, the region weight of
// `trel track --method graphcut` (30 over a length weight of 1), and the means of the initial
// segmentation, which lie much nearer the final ones than a split at the image's mean.
template <size_t N>
struct TrackerStart {
  Image<N> image;
  std::pair<float, float> means;  // background, foreground
  voxa::Image3d<bool> mask;       // the initial segmentation
};

template <size_t N>
TrackerStart<N> StartAsTracker(const voxa::Image3d<unsigned short>& grey) {
  voxa::Image3d<float> lifted;
  voxa::GrayToFloatNormalized(grey, lifted);
  TrackerStart<N> start;
  float fg = 0, bg = 0;
  voxa::GibouFedkiw(lifted, start.mask, kTrackerLambda, kTrackerLambda, fg, bg, 30);
  Vector<N, size_t> dims;
  for (size_t a = 0; a < N; ++a)
    dims[a] = a == 0 ? grey.GetSizeX() : a == 1 ? grey.GetSizeY() : grey.GetSizeZ();
  start.image.Resize(dims);
  std::copy(lifted.begin(), lifted.end(), start.image.begin());
  start.means = {bg, fg};
  return start;
}

// `blobs` as 16-bit grey values of a camera with an offset.
template <size_t N>
voxa::Image3d<unsigned short> Grey(const Image<N>& blobs) {
  voxa::Image3d<unsigned short> grey;
  grey.MakeRoom(blobs.Dim()[0], blobs.Dim()[1], N == 3 ? blobs.Dim()[2] : 1);
  for (size_t p = 0; p < blobs.Elems(); ++p)
    grey.SetVoxel(p, static_cast<unsigned short>(blobs[p] * 4000 + 100));
  return grey;
}

const TrackerStart<2>& TrackerFrame2D() {
  static const TrackerStart<2> start = [] {
    const std::string name = (SharedData() / "Fluo-N2DH-GOWT1/01/t000.tif").string();
    if (!std::filesystem::exists(name)) return StartAsTracker<2>(Grey(Frame2D()));
    voxa::Image3d<unsigned char> narrow;  // the frames are 8-bit
    narrow.ReadImage(name.c_str());
    voxa::Image3d<unsigned short> grey;
    grey.MakeRoom(narrow.GetSizeX(), narrow.GetSizeY(), 1);
    std::copy(narrow.begin(), narrow.end(), grey.begin());
    return StartAsTracker<2>(grey);
  }();
  return start;
}

const TrackerStart<3>& TrackerFrame3D() {
  static const TrackerStart<3> start = StartAsTracker<3>(Grey(Frame3D()));
  return start;
}

// The re-solves of a tracker run, started as the tracker starts (args as for BM_Resolve2D8).
void BM_ResolveTracker2D8(benchmark::State& state) {
  const TrackerStart<2>& start = TrackerFrame2D();
  Resolve<2>(state, start.image, 8, kTrackerLambda, &start.means);
}
BENCHMARK(BM_ResolveTracker2D8)->Apply(RepairedAndFresh)->Unit(benchmark::kMillisecond);

void BM_ResolveTracker3D6(benchmark::State& state) {
  const TrackerStart<3>& start = TrackerFrame3D();
  Resolve<3>(state, start.image, 6, kTrackerLambda, &start.means);
}
BENCHMARK(BM_ResolveTracker3D6)->Apply(RepairedAndFresh)->Unit(benchmark::kMillisecond);

// One labelled segmentation as the tracker runs it on a later frame: the label-preserving solver
// seeded with the objects of the initial segmentation that reach the tracker's minimum size of
// 100 voxels, one label each, every label measured against its own mean, tolerance 0.001 and the
// tracker's bound of 50 cuts.
void BM_LabelledChanVese2D(benchmark::State& state) {
  Kerf::System::Time::StopWatch::ms_is_enabled = false;
  const TrackerStart<2>& start = TrackerFrame2D();
  voxa::LabeledImage3d<unsigned short, bool> objects;
  objects.CreateForegroundRegionsFF(start.mask, voxa::nb2D_8);
  Kerf::System::Collection::Array<2, unsigned short> seeds(start.image.Dim());
  size_t labels = 0;
  for (const auto& [id, info] : objects.GetComponents()) labels += info.volume >= kMinObject;
  std::transform(objects.begin(), objects.end(), seeds.begin(), [&](unsigned short id) {
    return id != 0 && objects.GetComponents().at(id).volume >= kMinObject ? id : 0;
  });
  Kerf::Energy::Neighbourhood<2, int> nb;
  nb.Common(8, false);
  Kerf::System::Collection::Array<2, bool> result;
  for (auto _ : state) {
    auto [c1, c2] = start.means;
    size_t max_iter = 50;
    Kerf::Flow::Grid::TavrinLabels<2, float, float, float, unsigned short,
                                   Kerf::Flow::kReuseSearchTrees>
        solver;
    solver.SetInitialLabelingRef(seeds);
    benchmark::DoNotOptimize(Kerf::Algo::Segmentation::ChanVese::Compute<2, float>(
        start.image, kTrackerLambda, kTrackerLambda, c1, c2, 0.001f, max_iter, nb, solver, result));
  }
  state.counters["labels"] = static_cast<double>(labels);
}
BENCHMARK(BM_LabelledChanVese2D)->Unit(benchmark::kMillisecond);

// One whole segmentation as the tracker runs it: tolerance 0.001, at most 10 cuts.
void BM_ChanVese2D(benchmark::State& state) {
  Kerf::System::Time::StopWatch::ms_is_enabled = false;
  const Image<2>& image = Frame2D();
  Kerf::Energy::Neighbourhood<2, int> nb;
  nb.Common(8, false);
  Kerf::System::Collection::Array<2, bool> result;
  float c1 = 0, c2 = 0;
  for (auto _ : state) {
    SplitMeans(image, c1, c2);
    size_t max_iter = 10;
    Solver<2, Kerf::Flow::kReuseSearchTrees> solver;
    benchmark::DoNotOptimize(Kerf::Algo::Segmentation::ChanVese::Compute<2, float>(
        image, kLambda, kLambda, c1, c2, 0.001f, max_iter, nb, solver, result));
  }
  state.counters["c1"] = c1;
  state.counters["c2"] = c2;
}
BENCHMARK(BM_ChanVese2D)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
