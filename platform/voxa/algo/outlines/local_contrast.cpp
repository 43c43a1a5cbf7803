// LocalContrast: pieces by a breadth-first search through the full neighbourhood, their rings by
// breadth-first layers out through the background (a voxel two pieces reach in one layer belongs
// to neither), then each piece's mean against the median and spread of its ring.
#include "outlines/local_contrast.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "intensity/histogram.h"
#include "intensity/robust_spread.h"
#include "parallel_for.h"
#include "smoothing/recursive_gaussian.h"

namespace voxa::algo {

namespace {

constexpr uint8_t kOutside = 255;    // padding
constexpr uint8_t kContested = 254;  // reached by two pieces in one layer
// Rings with fewer voxels than this measure nothing: the piece stays.
constexpr size_t kMinRing = 16;
// Bins of the histogram that gives the frame's median.
constexpr size_t kMedianBins = 4096;

struct Spread {
  float median, spread;
};

// Reorders `values`.
Spread SpreadOf(std::vector<float>& values) {
  if (values.empty()) return {0.0f, 0.0f};
  const auto middle = values.begin() + static_cast<ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  const float median = *middle;
  return {median, RobustSpread(values)};
}

}  // namespace

std::vector<float> JudgedValues(const Image3d<float>& image, const PaddedGrid& grid,
                                unsigned threads) {
  std::vector<float> smooth(image.begin(), image.end());
  GaussianSmoothVolume(smooth.data(), image.GetSizeX(), image.GetSizeY(), image.GetSizeZ(),
                       kLocalScale, DepthSigma(kLocalScale, image.GetResolution()), threads);
  std::vector<float> values(grid.PaddedCount(), 0.0f);
  grid.ForEachVoxel([&](size_t i, size_t p) { values[p] = smooth[i]; });
  return values;
}

LocalContrast::LocalContrast(const PaddedGrid& grid, int ring_from, int ring_to, unsigned threads)
    : grid_(grid),
      ring_from_(std::clamp(ring_from, 1, 200)),
      ring_to_(std::clamp(ring_to, ring_from_, 200)),
      threads_(threads),
      face_(grid.Offsets(grid.FaceNeighbourhood())),
      full_(grid.Offsets(grid.FullNeighbourhood())) {}

LocalContrast::Rings LocalContrast::FindRings(const std::vector<unsigned short>& labels) const {
  const size_t n = labels.size();
  Rings rings;
  rings.id.assign(n, 0);
  rings.depth.assign(n, kOutside);
  grid_.ForEachVoxel([&](size_t, size_t p) { rings.depth[p] = 0; });
  std::vector<size_t> queue;
  grid_.ForEachVoxel([&](size_t, size_t p) {
    if (labels[p] == 0 || rings.id[p] != 0) return;
    const uint32_t id = ++rings.pieces;
    rings.id[p] = id;
    queue.assign(1, p);
    for (size_t head = 0; head < queue.size(); ++head)
      for (const ptrdiff_t o : full_) {
        const size_t q = queue[head] + o;
        if (labels[q] == labels[p] && rings.id[q] == 0) {
          rings.id[q] = id;
          queue.push_back(q);
        }
      }
  });
  // Outwards from the pieces layer by layer; layer 0 is the pieces themselves.
  std::vector<size_t> layer, next;
  grid_.ForEachVoxel([&](size_t, size_t p) {
    if (labels[p] != 0) layer.push_back(p);
  });
  for (int d = 1; d <= ring_to_ && !layer.empty(); ++d) {
    next.clear();
    for (const size_t p : layer) {
      if (rings.depth[p] == kContested) continue;
      for (const ptrdiff_t o : face_) {
        const size_t q = p + o;
        if (labels[q] != 0 || rings.depth[q] == kOutside || rings.depth[q] == kContested) continue;
        if (rings.depth[q] == 0) {
          rings.depth[q] = static_cast<uint8_t>(d);
          rings.id[q] = rings.id[p];
          next.push_back(q);
        } else if (rings.depth[q] == d && rings.id[q] != rings.id[p]) {
          rings.depth[q] = kContested;
        }
      }
    }
    std::swap(layer, next);
  }
  return rings;
}

std::vector<float> LocalContrast::Levels(const std::vector<unsigned short>& labels,
                                         const std::vector<float>& values, float min_contrast,
                                         Rings& rings) const {
  rings = FindRings(labels);
  std::vector<double> sum(rings.pieces + 1, 0.0);
  std::vector<uint64_t> count(rings.pieces + 1, 0);
  // The ring values grouped by piece: counted first, then placed (a counting sort).
  std::vector<size_t> start(rings.pieces + 2, 0);
  auto in_ring = [&](size_t p) {
    return labels[p] == 0 && rings.id[p] != 0 && rings.depth[p] >= ring_from_ &&
           rings.depth[p] <= ring_to_;
  };
  grid_.ForEachVoxel([&](size_t, size_t p) {
    if (labels[p] != 0) {
      sum[rings.id[p]] += values[p];
      ++count[rings.id[p]];
    } else if (in_ring(p)) {
      ++start[rings.id[p] + 1];
    }
  });
  for (uint32_t id = 1; id <= rings.pieces + 1; ++id) start[id] += start[id - 1];
  std::vector<float> ring(start.back());
  std::vector<size_t> next(start.begin(), start.end() - 1);
  grid_.ForEachVoxel([&](size_t, size_t p) {
    if (in_ring(p)) ring[next[rings.id[p]]++] = values[p];
  });
  // A piece larger than its ring, such as the brighter half of an empty frame's noise that a
  // split selects, leaves around it only the dim rest of that noise: it is measured against the
  // frame's median as well.
  auto ring_size = [&](uint32_t id) { return start[id + 1] - start[id]; };
  float frame_median = -std::numeric_limits<float>::infinity();
  for (uint32_t id = 1; id <= rings.pieces; ++id)
    if (ring_size(id) >= kMinRing && ring_size(id) < count[id]) {
      frame_median = FrameMedian(values);
      break;
    }
  std::vector<float> level(rings.pieces + 1, -std::numeric_limits<float>::infinity());
  ParallelFor<std::vector<float>>(
      rings.pieces, threads_, [&](ptrdiff_t k, std::vector<float>& around) {
        const auto id = static_cast<uint32_t>(k + 1);
        if (ring_size(id) < kMinRing) return;
        around.assign(ring.begin() + static_cast<ptrdiff_t>(start[id]),
                      ring.begin() + static_cast<ptrdiff_t>(start[id + 1]));
        Spread local = SpreadOf(around);
        if (around.size() < count[id]) local.median = std::max(local.median, frame_median);
        const float significant = local.median + min_contrast * local.spread;
        if (!(sum[id] / static_cast<double>(count[id]) >= significant)) level[id] = significant;
      });
  return level;
}

float LocalContrast::FrameMedian(const std::vector<float>& values) const {
  std::vector<float> image;
  image.reserve(values.size());
  grid_.ForEachVoxel([&](size_t, size_t p) { image.push_back(values[p]); });
  return static_cast<float>(
      Histogram::OfFloat(image.data(), image.size(), kMedianBins).Percentile(0.5));
}

std::vector<size_t> LocalContrast::FaintVoxels(const std::vector<unsigned short>& labels,
                                               const std::vector<float>& values, float min_contrast,
                                               Faint faint) const {
  Rings rings;
  const std::vector<float> level = Levels(labels, values, min_contrast, rings);
  std::vector<size_t> voxels;
  grid_.ForEachVoxel([&](size_t, size_t p) {
    const uint32_t id = labels[p] != 0 ? rings.id[p] : 0;
    if (id == 0 || level[id] == -std::numeric_limits<float>::infinity()) return;
    if (faint == Faint::kWhole || values[p] < level[id]) voxels.push_back(p);
  });
  return voxels;
}

}  // namespace voxa::algo
