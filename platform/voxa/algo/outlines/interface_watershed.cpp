// InterfaceWatershed: a breadth-first band around the interfaces, seeds where the band meets the
// rest of each label (and, beside a label of other brightness, where a voxel looks like its own),
// then a priority flood of the band by decreasing grey value that leaves a background line where
// two floods meet.
#include "outlines/interface_watershed.h"

#include <algorithm>
#include <climits>
#include <cmath>
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

InterfaceWatershed::InterfaceWatershed(const PaddedGrid& grid, int band, float distinct)
    : grid_(grid),
      band_(std::clamp(band, 0, 255)),
      distinct_(distinct),
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

InterfaceWatershed::Band InterfaceWatershed::FindBand(
    const std::vector<unsigned short>& labels) const {
  Band band;
  band.depth.assign(labels.size(), 0);
  band.across.assign(labels.size(), 0);
  auto add = [&](size_t p, uint8_t depth, unsigned short across) {
    band.depth[p] = depth;
    band.across[p] = across;
    band.voxels.push_back(p);
  };
  // The background voxels that part two labels, and the labelled voxels next to another label
  // or to such a parting voxel, form the first layer.
  grid_.ForEachVoxel([&](size_t, size_t p) {
    if (labels[p] != 0) return;
    const unsigned short m = OtherLabel(labels, p, 0);
    if (m != 0 && OtherLabel(labels, p, m) != 0) add(p, 1, 0);
  });
  const size_t parting = band.voxels.size();
  for (size_t k = 0; k < parting; ++k) {
    const size_t g = band.voxels[k];
    for (const ptrdiff_t o : face_) {
      const size_t q = g + o;
      if (labels[q] != 0 && band.depth[q] == 0) add(q, 1, OtherLabel(labels, g, labels[q]));
    }
  }
  grid_.ForEachVoxel([&](size_t, size_t p) {
    if (labels[p] == 0 || band.depth[p] != 0) return;
    const unsigned short m = OtherLabel(labels, p, labels[p]);
    if (m != 0) add(p, 1, m);
  });
  for (size_t head = parting; head < band.voxels.size(); ++head) {
    const size_t p = band.voxels[head];
    if (band.depth[p] >= band_) continue;
    for (const ptrdiff_t o : face_) {
      const size_t q = p + o;
      if (labels[q] == labels[p] && band.depth[q] == 0)
        add(q, static_cast<uint8_t>(band.depth[p] + 1), band.across[p]);
    }
  }
  return band;
}

bool InterfaceWatershed::LooksOwn(float value, const std::vector<float>& mean, unsigned short own,
                                  unsigned short other) const {
  return std::abs(mean[own] - mean[other]) >= distinct_ &&
         std::abs(value - mean[own]) < std::abs(value - mean[other]);
}

std::vector<uint8_t> InterfaceWatershed::OpenVoxels(const std::vector<unsigned short>& labels,
                                                    const std::vector<float>& values,
                                                    const std::vector<float>& mean,
                                                    const Band& band) const {
  // A label with voxels beyond the band seeds from them; one that lies wholly within the band
  // keeps its deepest layer as the seed.
  const size_t kLabels = size_t(USHRT_MAX) + 1;
  std::vector<uint8_t> deepest(kLabels, 0), beyond(kLabels, 0);
  for (const size_t p : band.voxels) {
    const unsigned short l = labels[p];
    if (l == 0) continue;
    deepest[l] = std::max(deepest[l], band.depth[p]);
    if (band.depth[p] == band_)
      for (const ptrdiff_t o : face_)
        if (labels[p + o] == l && band.depth[p + o] == 0) beyond[l] = 1;
  }
  std::vector<uint8_t> state(labels.size(), kFixed);
  for (const size_t p : band.voxels) {
    const unsigned short l = labels[p], m = band.across[p];
    if (l != 0 && !beyond[l] && band.depth[p] == deepest[l]) continue;
    // Beside a label of clearly different brightness, a voxel that looks like its own label
    // stays with it.
    if (l != 0 && m != 0 && LooksOwn(values[p], mean, l, m)) continue;
    state[p] = kOpen;
  }
  return state;
}

std::vector<std::pair<size_t, unsigned short>> InterfaceWatershed::Relabel(
    const std::vector<unsigned short>& labels, const std::vector<float>& values,
    const std::vector<float>& mean) const {
  std::vector<std::pair<size_t, unsigned short>> changes;
  if (band_ == 0) return changes;
  const Band band = FindBand(labels);
  if (band.voxels.empty()) return changes;
  std::vector<uint8_t> state = OpenVoxels(labels, values, mean, band);

  // `now` is the labelling as the flood leaves it: fixed voxels keep theirs, open ones count
  // once reached.
  std::vector<unsigned short> now(labels);
  std::priority_queue<Entry> heap;
  uint64_t order = 0;
  for (const size_t p : band.voxels) {
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
  for (const size_t p : band.voxels)
    if (state[p] == kReached && now[p] != labels[p]) changes.push_back({p, now[p]});
  return changes;
}

}  // namespace voxa::algo
