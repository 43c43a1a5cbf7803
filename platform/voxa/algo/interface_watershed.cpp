// InterfaceWatershed: a breadth-first band around the interfaces, seeds where the band meets the
// rest of each label, then a priority flood of the band by decreasing grey value that leaves a
// background line where two floods meet.
#include "interface_watershed.h"

#include <algorithm>
#include <climits>
#include <queue>
#include <tuple>

namespace voxa::algo {

namespace {

// States of a band voxel in the flood.
constexpr uint8_t kFixed = 0, kOpen = 1, kReached = 2;

struct Entry {
  float value;
  uint64_t order;  // first in, first out among equal values, so plateaus fill evenly
  size_t voxel;
  unsigned short label;
  bool operator<(const Entry& o) const {
    return std::tie(value, o.order) < std::tie(o.value, order);
  }
};

}  // namespace

InterfaceWatershed::InterfaceWatershed(const PaddedGrid& grid, int band)
    : grid_(grid),
      band_(std::clamp(band, 0, 255)),
      face_(grid.Offsets(grid.FaceNeighbourhood())),
      full_(grid.Offsets(grid.FullNeighbourhood())) {}

unsigned short InterfaceWatershed::OtherLabel(const std::vector<unsigned short>& labels, size_t p,
                                              unsigned short label) const {
  for (const ptrdiff_t o : full_) {
    const unsigned short m = labels[p + o];
    if (m != 0 && m != label) return m;
  }
  return 0;
}

std::vector<uint8_t> InterfaceWatershed::BandDepths(const std::vector<unsigned short>& labels,
                                                    std::vector<size_t>& band) const {
  std::vector<uint8_t> depth(labels.size(), 0);
  band.clear();
  // The background voxels that part two labels, and the labelled voxels next to another label
  // or to such a parting voxel, form the first layer.
  grid_.ForEachVoxel([&](size_t, size_t p) {
    const unsigned short l = labels[p];
    if (l == 0) {
      const unsigned short m = OtherLabel(labels, p, 0);
      if (m != 0 && OtherLabel(labels, p, m) != 0) {
        depth[p] = 1;
        band.push_back(p);
      }
    }
  });
  const size_t parting = band.size();
  for (size_t k = 0; k < parting; ++k)
    for (const ptrdiff_t o : face_) {
      const size_t q = band[k] + o;
      if (labels[q] != 0 && depth[q] == 0) {
        depth[q] = 1;
        band.push_back(q);
      }
    }
  grid_.ForEachVoxel([&](size_t, size_t p) {
    if (labels[p] != 0 && depth[p] == 0 && OtherLabel(labels, p, labels[p]) != 0) {
      depth[p] = 1;
      band.push_back(p);
    }
  });
  for (size_t head = parting; head < band.size(); ++head) {
    const size_t p = band[head];
    if (depth[p] >= band_) continue;
    for (const ptrdiff_t o : face_) {
      const size_t q = p + o;
      if (labels[q] != labels[p] || depth[q] != 0) continue;
      depth[q] = static_cast<uint8_t>(depth[p] + 1);
      band.push_back(q);
    }
  }
  return depth;
}

std::vector<uint8_t> InterfaceWatershed::OpenVoxels(const std::vector<unsigned short>& labels,
                                                    const std::vector<uint8_t>& depth,
                                                    const std::vector<size_t>& band) const {
  // A label with voxels beyond the band seeds from them; one that lies wholly within the band
  // keeps its deepest layer as the seed.
  std::vector<uint8_t> deepest(size_t(USHRT_MAX) + 1, 0), beyond(size_t(USHRT_MAX) + 1, 0);
  for (const size_t p : band) {
    const unsigned short l = labels[p];
    if (l == 0) continue;
    deepest[l] = std::max(deepest[l], depth[p]);
    if (depth[p] == band_)
      for (const ptrdiff_t o : face_)
        if (labels[p + o] == l && depth[p + o] == 0) beyond[l] = 1;
  }
  std::vector<uint8_t> state(labels.size(), kFixed);
  for (const size_t p : band) {
    const unsigned short l = labels[p];
    if (l == 0 || beyond[l] || depth[p] < deepest[l]) state[p] = kOpen;
  }
  return state;
}

std::vector<std::pair<size_t, unsigned short>> InterfaceWatershed::Relabel(
    const std::vector<unsigned short>& labels, const std::vector<float>& values) const {
  std::vector<std::pair<size_t, unsigned short>> changes;
  if (band_ == 0) return changes;
  std::vector<size_t> band;
  const std::vector<uint8_t> depth = BandDepths(labels, band);
  if (band.empty()) return changes;
  std::vector<uint8_t> state = OpenVoxels(labels, depth, band);

  // `now` is the labelling as the flood leaves it: fixed voxels keep theirs, open ones count
  // once reached.
  std::vector<unsigned short> now(labels);
  std::priority_queue<Entry> heap;
  uint64_t order = 0;
  for (const size_t p : band) {
    if (state[p] != kOpen) continue;
    for (const ptrdiff_t o : face_) {
      const size_t q = p + o;
      if (labels[q] != 0 && state[q] == kFixed) heap.push({values[p], order++, p, labels[q]});
    }
  }
  auto touches_other = [&](size_t p, unsigned short l) {
    for (const ptrdiff_t o : full_) {
      const size_t q = p + o;
      if (state[q] != kOpen && now[q] != 0 && now[q] != l) return true;
    }
    return false;
  };
  while (!heap.empty()) {
    const Entry e = heap.top();
    heap.pop();
    if (state[e.voxel] != kOpen) continue;
    state[e.voxel] = kReached;
    if (touches_other(e.voxel, e.label)) {
      now[e.voxel] = 0;  // where two floods meet
      continue;
    }
    now[e.voxel] = e.label;
    for (const ptrdiff_t o : face_) {
      const size_t q = e.voxel + o;
      if (state[q] == kOpen) heap.push({values[q], order++, q, e.label});
    }
  }
  for (const size_t p : band)
    if (state[p] == kReached && now[p] != labels[p]) changes.push_back({p, now[p]});
  return changes;
}

}  // namespace voxa::algo
