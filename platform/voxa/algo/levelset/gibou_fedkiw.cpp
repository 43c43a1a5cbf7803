// GibouFedkiw: hybrid k-means two-phase segmentation. The means start from Otsu's split and are
// first refined by k-means on the histogram (cheap); then each round assigns every voxel to the
// phase of smaller weighted squared distance, smooths the phase boundary by a majority vote and
// recomputes the means from the smoothed phases, until a round gives the same phases as the one
// before or the round count is spent.
#include "voxa/gibou_fedkiw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "intensity/histogram.h"
#include "intensity/robust_spread.h"
#include "levelset/majority_filter.h"
#include "outlines/local_contrast.h"
#include "padded_grid.h"
#include "smoothing/recursive_gaussian.h"
#include "voxa/exceptions.h"
#include "voxa/flood_fill.h"
#include "voxa/fls.h"
#include "voxa/neighbourhood.h"

namespace voxa {

namespace {

// Bins of the histograms that start the means and place the detection scale.
constexpr size_t kHistogramBins = 4096;
// Histogram k-means steps before the rounds on the image; it converges in a few.
constexpr int kHistogramSteps = 100;
// Detection scale of 16-bit input: smoothing in voxels, and the percentile that ends the
// histogram's bright tail for the triangle split.
constexpr double kDetectionSigma = 1.0;
constexpr double kTailPercentile = 0.999;
// Two phase means closer than this many standard deviations of the background phase's noise
// are a split of the noise, not of objects from the background.
constexpr double kSplitNoiseMultiple = 3.0;
// The saturating curve is tabulated in kCurveSteps steps per unit (t - b), up to kCurveRange
// units, beyond which it is 1 to single precision.
constexpr size_t kCurveSteps = 64;
constexpr size_t kCurveRange = 24;
// Smoothing of lifted float input before its parts are judged: that of the level set's two
// Gaussians of one voxel each.
const double kLiftedSmoothing = std::sqrt(2.0);

struct PhaseMeans {
  double fg = 0, bg = 0;
};

void CheckWeights(float fg_weight, float bg_weight) {
  for (const float w : {fg_weight, bg_weight})
    if (!std::isfinite(w) || w < 0)
      throw InternalException("GibouFedkiw: the weights must be finite non-negative numbers, not " +
                              std::to_string(fg_weight) + " and " + std::to_string(bg_weight));
  if (fg_weight == 0 && bg_weight == 0)
    throw InternalException("GibouFedkiw: the weights must not both be zero");
}

// The value at which fg_weight (v - fg)^2 equals bg_weight (v - bg)^2 between the two means;
// brighter voxels are foreground.
double PhaseThreshold(const PhaseMeans& m, float fg_weight, float bg_weight) {
  const double a = std::sqrt(double(fg_weight)), b = std::sqrt(double(bg_weight));
  return (a * m.fg + b * m.bg) / (a + b);
}

// Block length of the single-precision partial sums, added up in double precision.
constexpr size_t kSumBlock = 4096;

template <class T>
PhaseMeans MeansOf(const T* values, const bool* mask, size_t n) {
  double all = 0, fg = 0;
  uint64_t fg_count = 0;
  for (size_t start = 0; start < n; start += kSumBlock) {
    const size_t end = std::min(n, start + kSumBlock);
    float block_all = 0, block_fg = 0;
    unsigned block_count = 0;
    for (size_t i = start; i < end; ++i) {
      const float v = static_cast<float>(values[i]);
      block_all += v;
      block_fg += mask[i] ? v : 0.0f;
      block_count += mask[i];
    }
    all += block_all;
    fg += block_fg;
    fg_count += block_count;
  }
  PhaseMeans m;
  const uint64_t bg_count = n - fg_count;
  m.fg = fg_count ? fg / double(fg_count) : (n ? all / double(n) : 0);
  m.bg = bg_count ? (all - fg) / double(bg_count) : m.fg;
  return m;
}

// k-means on the histogram from Otsu's split: the means the image rounds start from.
PhaseMeans StartMeans(const float* v, size_t n, float fg_weight, float bg_weight) {
  const algo::Histogram histogram = algo::Histogram::OfFloat(v, n, kHistogramBins);
  double threshold = histogram.OtsuThreshold();
  PhaseMeans means;
  for (int step = 0; step < kHistogramSteps; ++step) {
    const algo::Histogram::Split split = histogram.MeansAround(threshold);
    means = {split.above, split.below};
    const double next = PhaseThreshold(means, fg_weight, bg_weight);
    if (next == threshold || !(means.fg > means.bg)) break;
    threshold = next;
  }
  return means;
}

// The hybrid k-means rounds on float values; `out` is already sized like `in`.
void Segment(const Image3d<float>& in, Image3d<bool>& out, float fg_weight, float bg_weight,
             size_t count) {
  const size_t n = in.GetImageSize();
  const float* v = in.begin();
  bool* phases = out.begin();
  std::fill(phases, phases + n, false);
  PhaseMeans means = StartMeans(v, n, fg_weight, bg_weight);
  algo::MajorityFilter majority(in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  std::unique_ptr<bool[]> assigned(new bool[n]), smoothed(new bool[n]);
  if (count == 0 && means.fg > means.bg) {  // the start split alone
    const double threshold = PhaseThreshold(means, fg_weight, bg_weight);
    for (size_t i = 0; i < n; ++i) phases[i] = v[i] > threshold;
  }
  for (size_t round = 0; round < count; ++round) {
    if (!(means.fg > means.bg)) {  // no brighter phase: nothing is foreground
      std::fill(phases, phases + n, false);
      return;
    }
    const double threshold = PhaseThreshold(means, fg_weight, bg_weight);
    for (size_t i = 0; i < n; ++i) assigned[i] = v[i] > threshold;
    majority.Apply(assigned.get(), smoothed.get());
    const bool changed = !std::equal(phases, phases + n, smoothed.get());
    std::copy(smoothed.get(), smoothed.get() + n, phases);
    means = MeansOf(v, phases, n);
    if (!changed) break;
  }
}

template <class T>
void TakeGeometry(const Image3d<T>& in, Image3d<bool>& out) {
  out.MakeRoom(in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  out.SetResolution(in.GetResolution());
  out.SetOffset(in.GetOffset());
  out.SetDescription(in.GetDescription());
}

template <class T>
void ReportMeans(const Image3d<T>& in, const Image3d<bool>& out, float& fg_mean, float& bg_mean) {
  const PhaseMeans m = MeansOf(in.begin(), out.begin(), in.GetImageSize());
  fg_mean = static_cast<float>(m.fg);
  bg_mean = static_cast<float>(m.bg);
}

// The detection scale of a 16-bit image: the lightly smoothed intensity above the background
// peak b, in units of the triangle split's distance t - b from it, through the saturating curve
// 1 - 2^(-(v - b) / (t - b)). The background maps near 0, anything well above t near 1, and t
// itself to one half, whatever the brightness of the objects.
template <class T>
void DetectionScale(const Image3d<T>& in, Image3d<float>& out) {
  out.MakeRoom(in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  std::copy(in.begin(), in.end(), out.begin());
  algo::GaussianSmoothVolume(out.begin(), in.GetSizeX(), in.GetSizeY(), in.GetSizeZ(),
                             kDetectionSigma,
                             algo::DepthSigma(kDetectionSigma, in.GetResolution()));
  const size_t n = out.GetImageSize();
  const algo::Histogram full = algo::Histogram::OfFloat(out.begin(), n, kHistogramBins);
  const float low = static_cast<float>(full.Percentile(0.0));
  const float tail = static_cast<float>(full.Percentile(kTailPercentile));
  const algo::Histogram h = algo::Histogram::OfFloat(out.begin(), n, kHistogramBins, low, tail);
  const double background = h.Mode(), split = h.TriangleThreshold();
  if (!(split > background)) {
    std::fill(out.begin(), out.end(), 0.0f);
    return;
  }
  // The curve from a table with linear interpolation: a per-voxel exp would cost more than
  // the whole rest of the segmentation.
  std::vector<float> table(kCurveSteps * kCurveRange + 2);
  for (size_t k = 0; k < table.size(); ++k)
    table[k] = static_cast<float>(1.0 - std::exp2(-double(k) / kCurveSteps));
  const float scale = static_cast<float>(kCurveSteps / (split - background));
  const float b = static_cast<float>(background), last = float(table.size() - 2);
  std::transform(out.begin(), out.end(), out.begin(), [&](float v) {
    const float position = std::clamp((v - b) * scale, 0.0f, last);
    const size_t k = static_cast<size_t>(position);
    const float f = position - float(k);
    return table[k] + f * (table[k + 1] - table[k]);
  });
}

// Whether the two phases of `phases` lie within the background's noise of each other. Two means
// of objects that cover a small part of a noisy image can settle on the two halves of the
// background's noise, the objects going with the brighter half; such a split finds nothing.
bool SplitWithinNoise(const Image3d<float>& in, const Image3d<bool>& phases) {
  std::vector<float> background;
  background.reserve(in.GetImageSize());
  const bool* fg = phases.begin();
  for (const float v : in)
    if (!*fg++) background.push_back(v);
  const PhaseMeans m = MeansOf(in.begin(), phases.begin(), in.GetImageSize());
  return m.fg - m.bg < kSplitNoiseMultiple * double(algo::RobustSpread(background));
}

// Adds to `out` every connected part of `faint` (face neighbours) that holds no voxel of `out`:
// the parts that do are erased from `faint` first.
void AddSeparateParts(Image3d<bool>& faint, Image3d<bool>& out) {
  bool* f = faint.begin();
  bool* o = out.begin();
  for (uint64_t p = 0; p < out.GetImageSize(); ++p)
    if (o[p] && f[p]) FloodFill(faint, false, p, nb3D_6);
  for (uint64_t p = 0; p < out.GetImageSize(); ++p) o[p] = o[p] || f[p];
}

// On the values as given, a global two-phase split drops nuclei a few grey values above the
// background beside bright ones; the detection scale finds them. Its parts that meet none of the
// split's objects are such nuclei and join the foreground; its generous outlines of the objects
// already found are left aside.
void AddFaintObjects(const Image3d<float>& in, Image3d<bool>& out, float fg_weight, float bg_weight,
                     size_t count) {
  Image3d<float> detection;
  DetectionScale(in, detection);
  Image3d<bool> faint;
  TakeGeometry(in, faint);
  Segment(detection, faint, fg_weight, bg_weight, count);
  AddSeparateParts(faint, out);
}

// Erases the parts of `out` that do not stand out of their surroundings on the lifted scale of
// `values`: the split's level lies where the histogram parts, and haze or the brighter half of an
// empty frame's noise lie above it as readily as nuclei do.
void EraseFaintParts(const Image3d<float>& values, Image3d<bool>& out) {
  const algo::PaddedGrid grid(values.GetSizeX(), values.GetSizeY(), values.GetSizeZ());
  std::vector<unsigned short> labels(grid.PaddedCount(), 0);
  const bool* o = out.begin();
  grid.ForEachVoxel([&](size_t i, size_t p) { labels[p] = o[i]; });
  const algo::LocalContrast local(grid, algo::kLocalRingFrom, algo::kLocalRingTo);
  std::vector<uint8_t> faint(grid.PaddedCount(), 0);
  for (const size_t p :
       local.FaintVoxels(labels, algo::JudgedValues(values, grid), algo::kMinLocalContrast,
                         algo::LocalContrast::Faint::kBelowLevel))
    faint[p] = 1;
  bool* w = out.begin();
  grid.ForEachVoxel([&](size_t i, size_t p) {
    if (faint[p]) w[i] = false;
  });
}

// On lifted values, smoothed as much as the level set's two smoothings smooth its speed image.
// The level set judges its own labels after every evolution; the graph cut's label-preserving
// cut does not, so its new objects are judged here.
void EraseFaintLiftedParts(const Image3d<float>& in, Image3d<bool>& out) {
  Image3d<float> smooth;
  smooth.MakeRoom(in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  smooth.SetResolution(in.GetResolution());
  std::copy(in.begin(), in.end(), smooth.begin());
  algo::GaussianSmoothVolume(smooth.begin(), in.GetSizeX(), in.GetSizeY(), in.GetSizeZ(),
                             kLiftedSmoothing,
                             algo::DepthSigma(kLiftedSmoothing, in.GetResolution()));
  EraseFaintParts(smooth, out);
}

}  // namespace

void GibouFedkiw(const Image3d<float>& in, Image3d<bool>& out, float fg_weight, float bg_weight,
                 float& fg_mean, float& bg_mean, size_t count) {
  CheckWeights(fg_weight, bg_weight);
  TakeGeometry(in, out);
  Segment(in, out, fg_weight, bg_weight, count);
  if (SplitWithinNoise(in, out)) {
    Image3d<float> detection;
    DetectionScale(in, detection);
    Segment(detection, out, fg_weight, bg_weight, count);
  } else {
    AddFaintObjects(in, out, fg_weight, bg_weight, count);
  }
  EraseFaintLiftedParts(in, out);
  ReportMeans(in, out, fg_mean, bg_mean);
}

void GibouFedkiw(const Image3d<unsigned short>& in, Image3d<bool>& out, float fg_weight,
                 float bg_weight, float& fg_mean, float& bg_mean, size_t count) {
  CheckWeights(fg_weight, bg_weight);
  TakeGeometry(in, out);
  Image3d<float> detection;
  DetectionScale(in, detection);
  Segment(detection, out, fg_weight, bg_weight, count);
  ReportMeans(in, out, fg_mean, bg_mean);
}

}  // namespace voxa
