// Speed and peak memory of the level-set segmentation: one two-phase and one multi-label
// evolution, the edge step on its own, and the whole per-frame chain of the tracker (Gaussian,
// initial segmentation, speed image, evolution), on a 1024 x 1024 frame of real data
// (Fluo-N2DH-GOWT1 t000/t001 when the shared data are there, synthetic nuclei otherwise) and on a
// synthetic 256 x 256 x 64 stack. Peak memory is the largest amount of heap in use during one
// chain, counted by this program's own operator new, reported in units of one frame of floats.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <random>
#include <string>

#include "region_components.h"
#include "voxa/filters.h"
#include "voxa/fls.h"
#include "voxa/gibou_fedkiw.h"
#include "voxa/image3d.h"
#include "voxa/outline_edges.h"
#include "voxa/voxel_type.h"

namespace {

std::atomic<int64_t> g_live{0}, g_peak{0};

void Count(void* p) {
  const int64_t live = g_live += static_cast<int64_t>(malloc_usable_size(p));
  int64_t peak = g_peak.load();
  while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
  }
}

}  // namespace

void* operator new(size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  Count(p);
  return p;
}
void* operator new[](size_t n) {
  return operator new(n);
}
void operator delete(void* p) noexcept {
  if (!p) return;
  g_live -= static_cast<int64_t>(malloc_usable_size(p));
  std::free(p);
}
void operator delete[](void* p) noexcept {
  operator delete(p);
}
void operator delete(void* p, size_t) noexcept {
  operator delete(p);
}
void operator delete[](void* p, size_t) noexcept {
  operator delete(p);
}

namespace {

using voxa::Image3d;
using RoutinePtr = std::unique_ptr<voxa::fls::Routine<int>>;

// The recommended weights for fluorescent nuclei.
constexpr float kCurvWeight = 0.3f, kFgWeight = 1.0f, kBgWeight = 1.0f;
constexpr size_t kMaxIter = 50, kGibouFedkiwRounds = 30, kMinSize = 100;
constexpr int kSmoothingSweeps = 2;

std::string SharedFrame(const char* name) {
  const std::filesystem::path p =
      std::filesystem::path(TREL_SHARED_DATA) / "Fluo-N2DH-GOWT1/01" / name;
  return std::filesystem::exists(p) ? p.string() : std::string();
}

// Nuclei of random brightness (some very dim) on a dark noisy background, 8-bit-like values.
Image3d<unsigned short> SyntheticNuclei(uint64_t nx, uint64_t ny, uint64_t nz, double radius,
                                        int count, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> where(0, 1);
  std::normal_distribution<double> noise(0, 1.5);
  Image3d<unsigned short> image;
  image.MakeRoom(nx, ny, nz);
  std::vector<float> signal(image.GetImageSize(), 0.0f);
  for (int k = 0; k < count; ++k) {
    const double cx = where(rng) * nx, cy = where(rng) * ny, cz = where(rng) * nz;
    const double r = radius * (0.7 + 0.6 * where(rng)),
                 v = where(rng) < 0.3 ? 4 : 30 + 90 * where(rng);
    const int64_t rr = static_cast<int64_t>(r) + 1;
    for (int64_t z = std::max<int64_t>(0, cz - rr); z < std::min<int64_t>(nz, cz + rr); ++z)
      for (int64_t y = std::max<int64_t>(0, cy - rr); y < std::min<int64_t>(ny, cy + rr); ++y)
        for (int64_t x = std::max<int64_t>(0, cx - rr); x < std::min<int64_t>(nx, cx + rr); ++x)
          if (std::hypot(x - cx, y - cy, nz > 1 ? z - cz : 0.0) < r)
            signal[(z * ny + y) * nx + x] = static_cast<float>(v);
  }
  for (uint64_t i = 0; i < image.GetImageSize(); ++i)
    image.SetVoxel(i,
                   static_cast<unsigned short>(std::clamp(2 + signal[i] + noise(rng), 0.0, 255.0)));
  return image;
}

Image3d<unsigned short> LoadFrame(const char* name, unsigned seed, bool stack) {
  if (stack) return SyntheticNuclei(256, 256, 64, 9, 150, seed);
  const std::string path = SharedFrame(name);
  if (path.empty()) return SyntheticNuclei(1024, 1024, 1, 25, 40, seed);
  Image3d<unsigned char> bytes;
  bytes.ReadImage(path.c_str());
  Image3d<unsigned short> image;
  image.MakeRoom(bytes.GetSizeX(), bytes.GetSizeY(), bytes.GetSizeZ());
  std::copy(bytes.begin(), bytes.end(), image.begin());
  return image;
}

// A frame prepared as the tracker prepares it: smoothed, initial mask, speed image.
struct Prepared {
  Image3d<unsigned short> frame;
  Image3d<bool> mask;
  Image3d<float> speed;
};

void Prepare(Prepared& p) {
  voxa::GrayGaussIIR(p.frame, 1.0);
  float fg_mean, bg_mean;
  voxa::GibouFedkiw(p.frame, p.mask, kFgWeight, kBgWeight, fg_mean, bg_mean, kGibouFedkiwRounds);
  voxa::fls::RegionSpeedImage(p.frame, p.speed);
}

// Two consecutive frames and the labels of the first after its two-phase evolution.
struct Pair {
  Prepared first, second;
  Image3d<unsigned short> labels;
};

const Pair& Cached(bool stack) {
  static std::unique_ptr<Pair> cache[2];
  std::unique_ptr<Pair>& slot = cache[stack];
  if (!slot) {
    slot = std::make_unique<Pair>();
    slot->first.frame = LoadFrame("t000.tif", 1, stack);
    slot->second.frame = LoadFrame("t001.tif", 1, stack);  // synthetic: the same nuclei
    Prepare(slot->first);
    Prepare(slot->second);
    RoutinePtr r(voxa::fls::GlobChanVeseRoutine(slot->first.speed, slot->first.mask, nullptr, false,
                                                kSmoothingSweeps, kCurvWeight, kFgWeight,
                                                kBgWeight));
    r->Initialize();
    r->IterateUntilConvergence(kMaxIter);
    Image3d<bool> result = slot->first.mask;
    r->Mask(result.begin(), voxa::fls::ResultCreator::kForeground, false);
    trel::bench::LabelRegions(result, kMinSize, slot->labels);
  }
  return *slot;
}

const char* SizeLabel(bool stack) {
  return stack ? "256x256x64" : "1024x1024";
}

void BM_GlobChanVese(benchmark::State& state) {
  const Pair& pair = Cached(state.range(0));
  Image3d<bool> result = pair.first.mask;
  size_t iterations = 0;
  for (auto _ : state) {
    RoutinePtr r(voxa::fls::GlobChanVeseRoutine(pair.first.speed, pair.first.mask, nullptr, false,
                                                kSmoothingSweeps, kCurvWeight, kFgWeight,
                                                kBgWeight));
    r->Initialize();
    iterations = r->IterateUntilConvergence(kMaxIter);
    r->Mask(result.begin(), voxa::fls::ResultCreator::kForeground, false);
  }
  state.counters["iterations"] = static_cast<double>(iterations);
  state.SetLabel(SizeLabel(state.range(0)));
}
BENCHMARK(BM_GlobChanVese)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LabGlobChanVese(benchmark::State& state) {
  const Pair& pair = Cached(state.range(0));
  Image3d<unsigned short> result = pair.labels;
  size_t iterations = 0;
  for (auto _ : state) {
    RoutinePtr r(voxa::fls::LabGlobChanVeseRoutine(pair.second.speed, pair.labels, nullptr,
                                                   kSmoothingSweeps, kCurvWeight, kFgWeight,
                                                   kBgWeight, false));
    r->Initialize();
    iterations = r->IterateUntilConvergence(kMaxIter);
    r->Labels(result.begin(), false);
  }
  state.counters["iterations"] = static_cast<double>(iterations);
  state.SetLabel(SizeLabel(state.range(0)));
}
BENCHMARK(BM_LabGlobChanVese)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The graph-cut tool's step for stacks: every label's outline moved to its own edge, on the
// labels of the first frame's two-phase evolution (at most three voxels from where it ended).
void BM_MoveOutlinesToEdges(benchmark::State& state) {
  const Pair& pair = Cached(state.range(0));
  size_t changed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Image3d<unsigned short> labels = pair.labels;
    state.ResumeTiming();
    changed = voxa::MoveOutlinesToEdges(labels, pair.first.speed);
  }
  state.counters["changed"] = static_cast<double>(changed);
  state.SetLabel(SizeLabel(state.range(0)));
}
BENCHMARK(BM_MoveOutlinesToEdges)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The tracker's per-frame chain for a frame after the first: Gaussian, initial segmentation,
// speed image and multi-label evolution, with the frame's images made inside the loop so that
// the peak counts them.
void BM_FrameChain(benchmark::State& state) {
  const Pair& pair = Cached(state.range(0));
  const Image3d<unsigned short> raw = LoadFrame("t001.tif", 1, state.range(0));
  double peak_frames = 0;
  for (auto _ : state) {
    const int64_t base = g_live.load();
    g_peak = base;
    {
      Prepared p;
      p.frame = raw;
      Image3d<unsigned short> labels = pair.labels;
      Prepare(p);
      RoutinePtr r(voxa::fls::LabGlobChanVeseRoutine(p.speed, labels, nullptr, kSmoothingSweeps,
                                                     kCurvWeight, kFgWeight, kBgWeight, false));
      r->Initialize();
      r->IterateUntilConvergence(kMaxIter);
      r->Labels(labels.begin(), false);
      benchmark::DoNotOptimize(labels.begin());
    }
    peak_frames = double(g_peak.load() - base) / (4.0 * double(raw.GetImageSize()));
  }
  state.counters["peak_memory_in_float_frames"] = peak_frames;
  state.SetLabel(SizeLabel(state.range(0)));
}
BENCHMARK(BM_FrameChain)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The pieces of the chain on their own.
void BM_ChainStep(benchmark::State& state) {
  const bool stack = state.range(0);
  const Image3d<unsigned short> raw = LoadFrame("t001.tif", 1, stack);
  Image3d<unsigned short> frame = raw, smoothed = raw;
  voxa::GrayGaussIIR(smoothed, 1.0);
  Image3d<bool> mask;
  Image3d<float> speed;
  float fg_mean, bg_mean;
  for (auto _ : state) {
    switch (state.range(1)) {
      case 0:
        state.PauseTiming();
        std::copy(raw.begin(), raw.end(), frame.begin());
        state.ResumeTiming();
        voxa::GrayGaussIIR(frame, 1.0);
        break;
      case 1:
        voxa::GibouFedkiw(smoothed, mask, kFgWeight, kBgWeight, fg_mean, bg_mean,
                          kGibouFedkiwRounds);
        break;
      default:
        voxa::fls::RegionSpeedImage(smoothed, speed);
    }
  }
  static const char* const kSteps[] = {"gauss", "gibou-fedkiw", "speed image"};
  state.SetLabel(std::string(SizeLabel(stack)) + " " + kSteps[state.range(1)]);
}
BENCHMARK(BM_ChainStep)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
