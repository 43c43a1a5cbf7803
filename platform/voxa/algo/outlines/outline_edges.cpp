// MoveOutlinesToEdges: the label and grey images on a padded grid, moved by EdgeLevel, the labels
// written back.
#include "voxa/outline_edges.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "intensity/robust_spread.h"
#include "outlines/edge_level.h"
#include "padded_grid.h"
#include "voxa/exceptions.h"

namespace voxa {

namespace {

// The noise of the background: the spread of the background voxels, or the robust spread of the
// whole image when that is smaller (objects the labels missed inflate the former).
float BackgroundNoise(const Image3d<unsigned short>& labels, const Image3d<float>& values) {
  double sum = 0, squares = 0;
  size_t count = 0;
  for (size_t i = 0; i < labels.GetImageSize(); ++i) {
    if (labels.GetVoxel(i) != 0) continue;
    const double v = values.GetVoxel(i);
    sum += v;
    squares += v * v;
    ++count;
  }
  std::vector<float> all(values.begin(), values.end());
  const float robust = algo::RobustSpread(all);
  if (count == 0) return robust;
  const double mean = sum / double(count);
  const double variance = std::max(0.0, squares / double(count) - mean * mean);
  return std::min(robust, static_cast<float>(std::sqrt(variance)));
}

// The number of separate pieces (full neighbourhood) of every label, indexed by label. Region
// labelling numbers pieces in 16 bits, which a ragged stack can exceed; this only counts them.
std::vector<uint32_t> PieceCounts(const algo::PaddedGrid& grid,
                                  const std::vector<unsigned short>& labels) {
  const std::vector<ptrdiff_t> full = grid.Offsets(grid.FullNeighbourhood());
  std::vector<uint32_t> pieces(65536, 0);
  std::vector<uint8_t> seen(labels.size(), 0);
  std::vector<size_t> stack;
  grid.ForEachVoxel([&](size_t, size_t p) {
    const unsigned short label = labels[p];
    if (label == 0 || seen[p]) return;
    ++pieces[label];
    seen[p] = 1;
    stack.push_back(p);
    while (!stack.empty()) {
      const size_t q = stack.back();
      stack.pop_back();
      for (const ptrdiff_t o : full) {
        const size_t r = q + o;
        if (labels[r] == label && !seen[r]) seen[r] = 1, stack.push_back(r);
      }
    }
  });
  return pieces;
}

}  // namespace

size_t MoveOutlinesToEdges(Image3d<unsigned short>& labels, const Image3d<float>& values) {
  if (labels.GetSizeX() != values.GetSizeX() || labels.GetSizeY() != values.GetSizeY() ||
      labels.GetSizeZ() != values.GetSizeZ())
    throw InternalException("MoveOutlinesToEdges: the label and grey images differ in size");
  if (labels.IsEmpty()) return 0;
  const algo::PaddedGrid grid(labels.GetSizeX(), labels.GetSizeY(), labels.GetSizeZ());
  std::vector<unsigned short> padded_labels(grid.PaddedCount(), 0);
  std::vector<float> padded_values(grid.PaddedCount(), 0.0f);
  grid.ForEachVoxel([&](size_t i, size_t p) {
    padded_labels[p] = labels.GetVoxel(i);
    padded_values[p] = values.GetVoxel(i);
  });
  const algo::EdgeLevel edge_level(grid, algo::kEdgeReach, algo::kEdgeRingFrom, algo::kEdgeLevel);
  const float min_step = algo::kMinEdgeNoiseMultiple * BackgroundNoise(labels, values);
  const auto changes = edge_level.Relabel(padded_labels, padded_values, min_step);
  if (changes.empty()) return 0;
  std::vector<unsigned short> moved = padded_labels;
  for (const auto& [p, label] : changes) moved[p] = label;
  // A dark band across a nucleus can fall below its level and part it in two; such a label
  // keeps its outline rather than pass for two cells.
  const std::vector<uint32_t> before = PieceCounts(grid, padded_labels);
  const std::vector<uint32_t> after = PieceCounts(grid, moved);
  size_t changed = 0;
  for (const auto& [p, label] : changes) {
    const unsigned short old = padded_labels[p];
    if (after[old] > before[old] || after[label] > before[label])
      moved[p] = old;
    else
      ++changed;
  }
  padded_labels.swap(moved);
  grid.ForEachVoxel([&](size_t i, size_t p) { labels.SetVoxel(i, padded_labels[p]); });
  return changed;
}

}  // namespace voxa
