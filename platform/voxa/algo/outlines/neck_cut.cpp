// NeckCut: chamfer distance transform, then a flooding of every label from its distance maxima
// with a union-find of the basins, keeping two basins apart at a narrow neck.
#include "outlines/neck_cut.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "voxa/hole_filling.h"
#include "voxa/image3d.h"

namespace voxa::algo {

namespace {

// Chamfer weights of a face, an edge-diagonal and a corner-diagonal step (about 10, 10 sqrt 2,
// 10 sqrt 3): close enough to the Euclidean distance for a comparison of widths.
constexpr uint32_t kStepWeight[] = {0, 10, 14, 17};
constexpr uint32_t kFar = UINT32_MAX / 2;
// A body must be at least this deep (in chamfer units: two voxels) to be cut off, so that the
// ripples of a noisy boundary never count as bodies.
constexpr uint32_t kMinBodyDepth = 20;
// The smaller of two bodies must be at least this share of the larger one's depth: a division
// or two touching nuclei give bodies of like size, while a lobe or a bleb on one nucleus is far
// shallower than the nucleus itself.
constexpr float kMinBodyRatio = 0.5f;
// In an image a label is cut only where every piece is a round body, at most kMaxElongation times
// the disc of its own depth (an ellipse of axes 3:1): nuclei and dividing daughters are, while the
// arms of a spread-out whole cell are not, however thin the joints between them.
constexpr float kMaxElongation = 3.0f;
constexpr int kLine = -1;  // basin id of a cut voxel

struct Basins {
  std::vector<int> parent;
  std::vector<uint32_t> peak;
  std::vector<unsigned short> label;

  int Make(uint32_t height, unsigned short of) {
    parent.push_back(static_cast<int>(parent.size()));
    peak.push_back(height);
    label.push_back(of);
    return parent.back();
  }
  int Root(int b) {
    while (parent[b] != b) b = parent[b] = parent[parent[b]];
    return b;
  }
  void Join(int a, int b) {  // b into a
    parent[b] = a;
    peak[a] = std::max(peak[a], peak[b]);
  }
};

// How many times a piece outgrows the disc of its own depth: about 1 for a round body, several
// for a long one.
float Elongation(uint64_t voxels, uint32_t peak) {
  const float r = float(peak) / float(kStepWeight[1]);
  return float(voxels) / std::max(3.14159f * r * r, 1.0f);
}

// Drops the cuts of a label with a piece that is not a round body (kMaxElongation). Only
// in images: a stack's depth in voxels says little of a body's shape when its slices lie further
// apart than its pixels.
std::vector<size_t> KeepRoundPieces(const std::vector<unsigned short>& labels,
                                    const std::vector<int>& basin, Basins& basins, bool stack,
                                    std::vector<size_t> cut) {
  if (cut.empty() || stack) return cut;
  std::vector<uint64_t> size(basins.parent.size(), 0);
  for (size_t p = 0; p < labels.size(); ++p)
    if (basin[p] > 0) ++size[basins.Root(basin[p] - 1)];
  std::vector<float> longest(size_t{1} << 16, 0.0f);
  for (size_t b = 0; b < size.size(); ++b)
    if (size[b] > 0) {
      float& l = longest[basins.label[b]];
      l = std::max(l, Elongation(size[b], basins.peak[b]));
    }
  std::vector<size_t> kept;
  for (size_t k = 0; k < cut.size(); ++k)
    if (longest[labels[cut[k]]] <= kMaxElongation) kept.push_back(cut[k]);
  return kept;
}

}  // namespace

NeckCut::NeckCut(const PaddedGrid& grid, float neck_ratio)
    : grid_(grid), neck_ratio_(neck_ratio), offsets_(grid.Offsets(grid.FullNeighbourhood())) {
  for (const Offset3d& o : grid.FullNeighbourhood().Offsets())
    weights_.push_back(kStepWeight[(o.dx != 0) + (o.dy != 0) + (o.dz != 0)]);
}

void NeckCut::Distances(const std::vector<unsigned short>& labels,
                        std::vector<uint32_t>& distance) const {
  // Only the background that reaches the image's edge is a source: the holes of a region (the
  // dark nucleoli of a nucleus) count as its inside, else they would pass for necks.
  const size_t n = labels.size();
  distance.assign(n, 0);  // the padding, and below the background that reaches it
  Image3d<bool> filled;
  filled.MakeRoom(grid_.SizeX(), grid_.SizeY(), grid_.SizeZ());
  bool* in = filled.begin();
  grid_.ForEachVoxel([&](size_t i, size_t p) { in[i] = labels[p] != 0; });
  BinFillHoles(filled, grid_.FaceNeighbourhood());
  grid_.ForEachVoxel([&](size_t i, size_t p) {
    if (in[i]) distance[p] = kFar;
  });
  // Forward pass over the offsets that point back in storage order, then a backward pass over
  // the others; labelled voxels never lie on the padding, so p + o stays in the grid.
  for (size_t p = 0; p < n; ++p) {
    if (distance[p] == 0) continue;
    for (size_t k = 0; k < offsets_.size(); ++k)
      if (offsets_[k] < 0)
        distance[p] = std::min(distance[p], distance[p + offsets_[k]] + weights_[k]);
  }
  for (size_t p = n; p-- > 0;) {
    if (distance[p] == 0) continue;
    for (size_t k = 0; k < offsets_.size(); ++k)
      if (offsets_[k] > 0)
        distance[p] = std::min(distance[p], distance[p + offsets_[k]] + weights_[k]);
  }
}

std::vector<uint8_t> NeckCut::RoundLabels(const std::vector<unsigned short>& labels) const {
  std::vector<uint8_t> round(size_t{1} << 16, 1);
  if (grid_.IsStack()) return round;
  std::vector<uint32_t> distance;
  Distances(labels, distance);
  std::vector<uint32_t> depth(round.size(), 0);
  std::vector<uint64_t> size(round.size(), 0);
  for (size_t p = 0; p < labels.size(); ++p) {
    depth[labels[p]] = std::max(depth[labels[p]], distance[p]);
    ++size[labels[p]];
  }
  for (size_t l = 1; l < round.size(); ++l)
    round[l] = size[l] == 0 || Elongation(size[l], depth[l]) <= kMaxElongation;
  return round;
}

std::vector<size_t> NeckCut::Find(const std::vector<unsigned short>& labels) const {
  return Find(labels, std::vector<uint8_t>(size_t{1} << 16, 1));
}

std::vector<size_t> NeckCut::Find(const std::vector<unsigned short>& labels,
                                  const std::vector<uint8_t>& cuttable) const {
  std::vector<size_t> cut;
  if (!(neck_ratio_ > 0)) return cut;
  std::vector<uint32_t> distance;
  Distances(labels, distance);
  std::vector<size_t> order;
  // A label that may not be cut floods into one basin whatever its shape, and its flood never
  // meets another label's: its voxels are left out.
  for (size_t p = 0; p < labels.size(); ++p)
    if (labels[p] && cuttable[labels[p]]) order.push_back(p);
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return distance[a] > distance[b]; });
  std::vector<int> basin(labels.size(), 0);  // 0: not flooded yet, else id + 1, or kLine
  Basins basins;
  std::vector<int> roots;
  for (const size_t p : order) {
    const uint32_t d = distance[p];
    roots.clear();
    for (const ptrdiff_t o : offsets_) {
      const size_t q = p + o;
      if (labels[q] != labels[p] || basin[q] <= 0) continue;
      const int r = basins.Root(basin[q] - 1);
      if (std::find(roots.begin(), roots.end(), r) == roots.end()) roots.push_back(r);
    }
    if (roots.empty()) {
      basin[p] = basins.Make(d, labels[p]) + 1;
      continue;
    }
    // Join every pair of basins that the voxel's width does not keep apart.
    for (size_t i = 0; i < roots.size(); ++i)
      for (size_t j = i + 1; j < roots.size();) {
        const uint32_t body = std::min(basins.peak[roots[i]], basins.peak[roots[j]]);
        const uint32_t large = std::max(basins.peak[roots[i]], basins.peak[roots[j]]);
        if (!cuttable[labels[p]] || body < kMinBodyDepth ||
            float(body) < kMinBodyRatio * float(large) || float(d) >= neck_ratio_ * float(body)) {
          basins.Join(roots[i], roots[j]);
          roots.erase(roots.begin() + static_cast<ptrdiff_t>(j));
        } else {
          ++j;
        }
      }
    if (roots.size() == 1) {
      basin[p] = roots[0] + 1;
    } else {
      basin[p] = kLine;
      cut.push_back(p);
    }
  }
  return KeepRoundPieces(labels, basin, basins, grid_.IsStack(), std::move(cut));
}

}  // namespace voxa::algo
