// Timings of the trel tool on realistic frame sizes: synthetic sequence generation (2D 512x512,
// 3D 256x256x32), evaluation of a 1024x1024 sequence against its own ground truth, and the
// per-frame overlap count that the evaluation rests on. Run by hand.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <random>

#include "evaluation.h"
#include "frame_files.h"
#include "overlap_table.h"
#include "synthetic_sequence.h"

namespace {

using trel::tool::SynthOptions;

std::filesystem::path Scratch(const std::string& name) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("trel-bench-" + std::to_string(getpid()) + "-" + name);
  std::filesystem::remove_all(path);
  return path;
}

void BM_Synth(benchmark::State& state) {
  SynthOptions o;
  o.dim = static_cast<int>(state.range(0));
  o.frames = 10;
  const auto out = Scratch("synth");
  for (auto _ : state) trel::tool::WriteSyntheticSequence(o, out, nullptr);
  std::filesystem::remove_all(out);
  state.counters["frames/s"] = benchmark::Counter(
      static_cast<double>(o.frames * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Synth)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_EvalSelf(benchmark::State& state) {
  SynthOptions o;
  o.size = 1024;
  o.cells = 60;
  o.frames = static_cast<uint64_t>(state.range(0));
  const auto data = Scratch("eval");
  trel::tool::WriteSyntheticSequence(o, data, nullptr);
  const auto res = data / "res";
  std::filesystem::create_directories(res);
  const trel::tool::FrameFiles seg(data / "01_GT/SEG", "man_seg"), masks(res, "mask");
  for (uint64_t t = 0; t < o.frames; ++t) std::filesystem::copy_file(seg.Name(t), masks.Name(t));
  std::filesystem::copy_file(data / "01_GT/TRA/man_track.txt", res / "res_track.txt");
  for (auto _ : state) benchmark::DoNotOptimize(trel::tool::Evaluate(data / "01_GT", res));
  std::filesystem::remove_all(data);
}
BENCHMARK(BM_EvalSelf)->Arg(92)->Unit(benchmark::kMillisecond);

void BM_OverlapCount(benchmark::State& state) {
  const size_t n = 1024 * 1024;
  std::vector<uint16_t> a(n), b(n);
  std::mt19937 random(1);
  for (size_t k = 0; k < n; ++k) {
    a[k] = (k % 1024) / 40 % 3 ? static_cast<uint16_t>(k / 40960 + 1) : 0;
    b[k] = (k > 0 && random() % 64) ? b[k - 1] : static_cast<uint16_t>(random() % 50);
  }
  trel::tool::OverlapCounter counter;
  for (auto _ : state) benchmark::DoNotOptimize(counter.Count(a.data(), b.data(), n));
  state.SetItemsProcessed(static_cast<int64_t>(n * state.iterations()));
}
BENCHMARK(BM_OverlapCount)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
