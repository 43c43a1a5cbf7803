// Speed of the filters and of frame input and output on realistic frame sizes: a 1024 x 1024
// 16-bit image and a 256 x 256 x 64 stack. Frame I/O is compared with a plain libtiff read and
// write of the same file.
#include <benchmark/benchmark.h>
#include <tiffio.h>
#include <unistd.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "voxa/filters.h"
#include "voxa/image3d.h"

namespace {

using voxa::Image3d;

// Blobs on a gradient with noise, roughly like a fluorescence frame.
Image3d<unsigned short> Frame(uint64_t nx, uint64_t ny, uint64_t nz) {
  std::mt19937 rng(1);
  std::normal_distribution<double> noise(0, 80);
  Image3d<unsigned short> image;
  image.MakeRoom(nx, ny, nz);
  for (uint64_t z = 0; z < nz; ++z)
    for (uint64_t y = 0; y < ny; ++y)
      for (uint64_t x = 0; x < nx; ++x) {
        const double blob = std::sin(x * 0.05) * std::sin(y * 0.05) * std::sin(z * 0.1 + 1);
        const double v = 1000 + 0.3 * x + 3000 * std::max(0.0, blob) + noise(rng);
        image.SetVoxel(x, y, z, static_cast<unsigned short>(std::clamp(v, 0.0, 65535.0)));
      }
  return image;
}

const Image3d<unsigned short>& Cached(bool stack) {
  static const Image3d<unsigned short> flat = Frame(1024, 1024, 1);
  static const Image3d<unsigned short> volume = Frame(256, 256, 64);
  return stack ? volume : flat;
}

void BM_GaussIIR(benchmark::State& state) {
  const Image3d<unsigned short>& source = Cached(state.range(0));
  const double sigma = state.range(1);
  Image3d<unsigned short> image = source;
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(source.begin(), source.end(), image.begin());
    state.ResumeTiming();
    voxa::GrayGaussIIR(image, sigma);
    benchmark::DoNotOptimize(image.begin());
  }
  state.SetLabel(state.range(0) ? "256x256x64" : "1024x1024");
}
BENCHMARK(BM_GaussIIR)
    ->Args({0, 1})
    ->Args({0, 5})
    ->Args({1, 1})
    ->Args({1, 5})
    ->Unit(benchmark::kMillisecond);

// Four time steps per iteration (tau 0.5 needs no sub-steps), so that the set-up of the run is
// shared as in real use; the "step" counter is the time of one step. The second argument is the
// number of threads (bench/thread_ratios.sh compares them).
template <class T>
void BM_CedStep(benchmark::State& state) {
  constexpr uint64_t kSteps = 4;
  const Image3d<unsigned short>& source = Cached(state.range(0));
  const voxa::Parallelism threads{static_cast<unsigned>(state.range(1))};
  Image3d<unsigned short> image = source;
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(source.begin(), source.end(), image.begin());
    state.ResumeTiming();
    voxa::GrayCED_AOS<T>(image, T(1), T(4), T(0.5), kSteps, threads);
    benchmark::DoNotOptimize(image.begin());
  }
  state.counters["step"] =
      benchmark::Counter(double(state.iterations()) * kSteps,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel(state.range(0) ? "256x256x64" : "1024x1024");
}
BENCHMARK_TEMPLATE(BM_CedStep, float)
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CedStep, double)->Args({0, 1})->Unit(benchmark::kMillisecond);

std::string TempName(const char* tag) {
  return "/tmp/trel-bench-" + std::to_string(getpid()) + "-" + tag + ".tif";
}

void BM_SaveFrame(benchmark::State& state) {
  const Image3d<unsigned short>& image = Cached(state.range(0));
  const std::string name = TempName("save");
  for (auto _ : state) image.SaveImage(name.c_str(), 0, true);
  unlink(name.c_str());
  state.SetLabel(state.range(0) ? "256x256x64 LZW" : "1024x1024 LZW");
}
BENCHMARK(BM_SaveFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReadFrame(benchmark::State& state) {
  const std::string name = TempName("read");
  Cached(state.range(0)).SaveImage(name.c_str(), 0, true);
  Image3d<unsigned short> image;
  for (auto _ : state) image.ReadImage(name.c_str());
  unlink(name.c_str());
  state.SetLabel(state.range(0) ? "256x256x64 LZW" : "1024x1024 LZW");
}
BENCHMARK(BM_ReadFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The baseline: libtiff alone, strip by strip, the same layout as the files above.
void BM_PlainLibtiffWrite(benchmark::State& state) {
  const Image3d<unsigned short>& image = Cached(state.range(0));
  const std::string name = TempName("plainw");
  const uint32_t w = image.GetSizeX(), h = image.GetSizeY();
  const uint32_t rows = std::max<uint32_t>(1, 65536 / (2 * w));
  std::vector<unsigned short> strip(size_t(rows) * w);
  for (auto _ : state) {
    TIFF* tif = TIFFOpen(name.c_str(), "w");
    for (uint64_t z = 0; z < image.GetSizeZ(); ++z) {
      TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
      TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
      TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
      TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
      for (uint32_t y0 = 0, s = 0; y0 < h; y0 += rows, ++s) {
        const uint32_t n = std::min(rows, h - y0);
        const unsigned short* from = image.begin() + image.Index(0, y0, z);
        std::copy(from, from + size_t(n) * w, strip.begin());
        TIFFWriteEncodedStrip(tif, s, strip.data(), tmsize_t(n) * w * 2);
      }
      TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
  }
  unlink(name.c_str());
}
BENCHMARK(BM_PlainLibtiffWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PlainLibtiffRead(benchmark::State& state) {
  const std::string name = TempName("plainr");
  const Image3d<unsigned short>& image = Cached(state.range(0));
  image.SaveImage(name.c_str(), 0, true);
  std::vector<unsigned short> data(image.GetImageSize());
  for (auto _ : state) {
    TIFF* tif = TIFFOpen(name.c_str(), "r");
    size_t at = 0;
    do {
      for (tstrip_t s = 0; s < TIFFNumberOfStrips(tif); ++s) {
        const tmsize_t got = TIFFReadEncodedStrip(tif, s, data.data() + at, -1);
        at += size_t(got) / 2;
      }
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    benchmark::DoNotOptimize(data.data());
  }
  unlink(name.c_str());
}
BENCHMARK(BM_PlainLibtiffRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
