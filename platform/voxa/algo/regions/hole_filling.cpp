// Hole filling by labelling the background: runs of false voxels are joined into sets (as in
// region labelling), a set is open when one of its runs has a neighbour outside the image, and
// the runs of every closed set are set to true.
#include "voxa/hole_filling.h"

#include <algorithm>
#include <vector>

#include "regions/neighbour_offsets.h"
#include "regions/run_graph.h"

namespace voxa {

namespace {

// Which sides of a run let a neighbour fall outside the image.
struct Exits {
  bool left = false, right = false;
};

Exits ExitsAlongX(const std::vector<detail::FlatOffset>& offsets) {
  Exits exits;
  for (const detail::FlatOffset& o : offsets) {
    exits.left = exits.left || o.dx < 0;
    exits.right = exits.right || o.dx > 0;
  }
  return exits;
}

// True when some neighbour row of row (y, z) lies outside the image.
bool RowTouchesOutside(const std::vector<detail::FlatOffset>& offsets, uint64_t y, uint64_t z,
                       const Vector3d<uint64_t>& size) {
  return std::any_of(offsets.begin(), offsets.end(), [&](const detail::FlatOffset& o) {
    return y + static_cast<uint64_t>(o.dy) >= size[1] || z + static_cast<uint64_t>(o.dz) >= size[2];
  });
}

}  // namespace

void BinFillHoles(Image3d<bool>& mask, const Neighbourhood& nb) {
  const Vector3d<uint64_t> size = mask.GetSize();
  const std::vector<detail::FlatOffset> offsets = detail::EffectiveOffsets(nb, size);
  detail::RunGraph<bool> graph;
  graph.Build(mask, true, offsets);
  const Exits exits = ExitsAlongX(offsets);
  std::vector<char> open(graph.RunCount(), 0);
  for (uint64_t row = 0; row < graph.RowCount(); ++row) {
    const uint32_t first = graph.RowBegin(row), end = graph.RowBegin(row + 1);
    if (first == end) continue;
    if (RowTouchesOutside(offsets, row % size[1], row / size[1], size)) {
      for (uint32_t i = first; i < end; ++i) open[graph.Root(i)] = 1;
      continue;
    }
    if (exits.left && graph.GetRun(first).x0 == 0) open[graph.Root(first)] = 1;
    if (exits.right && graph.GetRun(end - 1).x1 == size[0] - 1) open[graph.Root(end - 1)] = 1;
  }
  for (uint64_t row = 0; row < graph.RowCount(); ++row) {
    bool* line = mask.begin() + row * size[0];
    for (uint32_t i = graph.RowBegin(row); i < graph.RowBegin(row + 1); ++i) {
      if (open[graph.Root(i)]) continue;
      const auto& run = graph.GetRun(i);
      std::fill(line + run.x0, line + run.x1 + 1, true);
    }
  }
}

}  // namespace voxa
