// Speed of the region operations and of frame-to-frame association on realistic frame sizes:
// region labelling (full connectivity) and hole filling (minimal connectivity) of random-blob
// masks of 1024 x 1024 and 256 x 256 x 64 voxels, and UpdateTracks on a 1024 x 1024 label image
// of 300 cells. With TREL_BENCH_MASKS=<folder> the two masks are also written there as raw
// bytes (mask2d.raw, mask3d.raw) so that bench/scipy_regions.py can time scipy on the same data.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "labelframe/label_frame.h"
#include "voxa/filters.h"
#include "voxa/hole_filling.h"
#include "voxa/labeled_image3d.h"

namespace {

using voxa::Image3d;

constexpr double kBlobSigma = 4.0;
constexpr double kForegroundShare = 0.35;
constexpr uint64_t kFrameSide = 1024;
constexpr int kCells = 300;
constexpr int kDividingCells = 20;
constexpr double kCellRadius = 16.0;

// Smoothed uniform noise above its (1 - share) quantile: blobs of many sizes, some with holes.
Image3d<bool> BlobMask(uint64_t nx, uint64_t ny, uint64_t nz) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> noise(0, 65535);
  Image3d<unsigned short> grey;
  grey.MakeRoom(nx, ny, nz);
  for (unsigned short& v : grey) v = static_cast<unsigned short>(noise(rng));
  voxa::GrayGaussIIR(grey, kBlobSigma);
  std::vector<unsigned short> sorted(grey.begin(), grey.end());
  const size_t cut = static_cast<size_t>(sorted.size() * (1.0 - kForegroundShare));
  std::nth_element(sorted.begin(), sorted.begin() + cut, sorted.end());
  const unsigned short threshold = sorted[cut];
  Image3d<bool> mask;
  mask.MakeRoom(nx, ny, nz);
  for (uint64_t k = 0; k < grey.GetImageSize(); ++k) mask.SetVoxel(k, grey.GetVoxel(k) > threshold);
  return mask;
}

void DumpForScipy(const Image3d<bool>& mask, const char* name) {
  const char* folder = std::getenv("TREL_BENCH_MASKS");
  if (!folder) return;
  std::ofstream out(std::string(folder) + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(mask.begin()),
            static_cast<std::streamsize>(mask.GetImageSize()));
}

const Image3d<bool>& Mask(bool stack) {
  static const Image3d<bool> flat = [] {
    Image3d<bool> m = BlobMask(1024, 1024, 1);
    DumpForScipy(m, "mask2d.raw");
    return m;
  }();
  static const Image3d<bool> volume = [] {
    Image3d<bool> m = BlobMask(256, 256, 64);
    DumpForScipy(m, "mask3d.raw");
    return m;
  }();
  return stack ? volume : flat;
}

void BM_Labelling(benchmark::State& state) {
  const bool stack = state.range(0);
  const Image3d<bool>& mask = Mask(stack);
  voxa::LabeledImage3d<unsigned short, bool> regions;
  for (auto _ : state) {
    regions.CreateForegroundRegionsFF(mask, stack ? voxa::nb3D_26 : voxa::nb2D_8);
    benchmark::DoNotOptimize(regions.begin());
  }
  state.counters["regions"] = static_cast<double>(regions.NumberOfComponents());
}
BENCHMARK(BM_Labelling)->Arg(0)->Arg(1)->ArgName("stack")->Unit(benchmark::kMillisecond);

void BM_FillHoles(benchmark::State& state) {
  const bool stack = state.range(0);
  const Image3d<bool>& mask = Mask(stack);
  Image3d<bool> work = mask;
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(mask.begin(), mask.end(), work.begin());
    state.ResumeTiming();
    voxa::BinFillHoles(work, stack ? voxa::nb3D_6 : voxa::nb2D_4);
    benchmark::DoNotOptimize(work.begin());
  }
}
BENCHMARK(BM_FillHoles)->Arg(0)->Arg(1)->ArgName("stack")->Unit(benchmark::kMillisecond);

// Discs of one label per cell at random places without contact; some cells appear as two discs
// (a division) and every tenth disc is a ring (a hole to paint).
trel::LabelFrame CellFrame() {
  trel::LabelFrame frame(trel::Dimension::k2D, 25, 3, 5);
  frame.MakeRoom(kFrameSide, kFrameSide, 1);
  frame.SetAllVoxels(0);
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> place(kCellRadius + 2, kFrameSide - kCellRadius - 3);
  std::vector<std::pair<double, double>> centres;
  const int discs = kCells + kDividingCells;
  while (static_cast<int>(centres.size()) < discs) {
    const double cx = place(rng), cy = place(rng);
    bool free = true;
    for (const auto& [x, y] : centres)
      free = free && std::hypot(cx - x, cy - y) > 2 * kCellRadius + 3;
    if (free) centres.push_back({cx, cy});
  }
  for (int k = 0; k < discs; ++k) {
    const auto label = static_cast<unsigned short>(k < kCells ? k + 1 : k - kCells + 1);
    const auto [cx, cy] = centres[k];
    for (int64_t y = int64_t(cy - kCellRadius); y <= int64_t(cy + kCellRadius); ++y)
      for (int64_t x = int64_t(cx - kCellRadius); x <= int64_t(cx + kCellRadius); ++x) {
        const double r = std::hypot(x - cx, y - cy);
        if (r <= kCellRadius && (k % 10 != 0 || r > kCellRadius / 3))
          frame.SetVoxel(uint64_t(x), uint64_t(y), 0, label);
      }
  }
  frame.last_label = kCells;
  for (uint16_t label = 1; label <= kCells; ++label) frame.tracks[label] = {label, 0, 0, 0};
  return frame;
}

void BM_UpdateTracks(benchmark::State& state) {
  const trel::LabelFrame start = CellFrame();
  trel::LabelFrame frame = start;
  for (auto _ : state) {
    state.PauseTiming();
    frame = start;
    state.ResumeTiming();
    frame.UpdateTracks(1);
  }
  state.counters["tracks"] = static_cast<double>(frame.tracks.size());
}
BENCHMARK(BM_UpdateTracks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
