// Second pass of run-based labelling: the sets of joined runs get region ids in raster order of
// their first run (the root), the runs are written into the id image, and each region's record
// (value, volume, bounding box) is gathered from its runs.
#include "voxa/labeled_image3d.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "regions/neighbour_offsets.h"
#include "regions/run_graph.h"
#include "voxa/exceptions.h"

namespace voxa {

namespace {

// Region ids of the runs: a root takes the next id, every other run its root's.
template <class L, class V>
std::vector<L> RegionIds(const detail::RunGraph<V>& graph) {
  constexpr uint64_t kMaxId = std::numeric_limits<L>::max();
  std::vector<L> id(graph.RunCount());
  uint64_t count = 0;
  for (uint32_t i = 0; i < graph.RunCount(); ++i) {
    const uint32_t root = graph.Root(i);
    if (root != i) {
      id[i] = id[root];
      continue;
    }
    if (count == kMaxId)
      throw InternalException("CreateForegroundRegionsFF: the image has more regions than the " +
                              std::to_string(kMaxId) + " ids of the label type");
    id[i] = static_cast<L>(++count);
  }
  return id;
}

// Bounding box of a region as it grows run by run: lowest and highest coordinate per axis.
struct Bounds {
  uint64_t lo[3] = {UINT64_MAX, UINT64_MAX, UINT64_MAX};
  uint64_t hi[3] = {0, 0, 0};
  uint64_t volume = 0;

  void Add(uint64_t x0, uint64_t x1, uint64_t y, uint64_t z) {
    lo[0] = std::min(lo[0], x0);
    hi[0] = std::max(hi[0], x1);
    lo[1] = std::min(lo[1], y);
    hi[1] = std::max(hi[1], y);
    lo[2] = std::min(lo[2], z);
    hi[2] = std::max(hi[2], z);
    volume += x1 - x0 + 1;
  }
  VOI<uint64_t> Box() const {
    return VOI<uint64_t>(lo[0], lo[1], lo[2], hi[0] - lo[0] + 1, hi[1] - lo[1] + 1,
                         hi[2] - lo[2] + 1);
  }
};

}  // namespace

template <class L, class V>
void LabeledImage3d<L, V>::CreateForegroundRegionsFF(const Image3d<V>& image,
                                                     const Neighbourhood& nb) {
  const Vector3d<uint64_t> size = image.GetSize();
  detail::RunGraph<V> graph;
  graph.Build(image, V(0), detail::EffectiveOffsets(nb, size));
  const std::vector<L> id = RegionIds<L>(graph);
  const uint64_t count = graph.RunCount() ? *std::max_element(id.begin(), id.end()) : 0;

  this->SetResolution(image.GetResolution());
  this->SetOffset(image.GetOffset());
  this->MakeRoom(size[0], size[1], size[2]);
  this->SetAllVoxels(L(0));
  std::vector<Bounds> bounds(count);
  std::vector<V> values(count);
  const uint64_t X = size[0], Y = size[1];
  for (uint64_t row = 0; row < graph.RowCount(); ++row) {
    L* line = this->begin() + row * X;
    const uint64_t y = row % Y, z = row / Y;
    for (uint32_t i = graph.RowBegin(row); i < graph.RowBegin(row + 1); ++i) {
      const auto& run = graph.GetRun(i);
      std::fill(line + run.x0, line + run.x1 + 1, id[i]);
      bounds[id[i] - 1].Add(run.x0, run.x1, y, z);
      values[id[i] - 1] = run.value;
    }
  }
  components_.clear();
  for (uint64_t k = 0; k < count; ++k) {
    const ComponentInfo<L, V> region{static_cast<L>(k + 1), values[k], bounds[k].volume,
                                     bounds[k].Box()};
    components_.emplace_hint(components_.end(), region.label, region);
  }
}

template class LabeledImage3d<unsigned short, bool>;
template class LabeledImage3d<unsigned short, unsigned short>;

}  // namespace voxa
