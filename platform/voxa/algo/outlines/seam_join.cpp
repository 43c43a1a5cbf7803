// SeamJoin: one pass gathers, per pair of touching labels, the values along their interface (the
// labelled voxels facing the other label and the background line a watershed left between them);
// the pairs without a seam are joined by union-find; the joined labels are cut at their necks on a
// copy, the members a piece still holds together stay joined, and a last pass relabels.
#include "outlines/seam_join.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>

#include "regions/union_find.h"

namespace voxa::algo {

namespace {

struct Interface {
  double sum = 0;
  uint64_t count = 0;
};

using Pair = std::pair<unsigned short, unsigned short>;

Pair Ordered(unsigned short a, unsigned short b) {
  return {std::min(a, b), std::max(a, b)};
}

}  // namespace

SeamJoin::SeamJoin(const PaddedGrid& grid, const NeckCut* neck_cut)
    : grid_(grid),
      neck_cut_(neck_cut),
      face_(grid.Offsets(grid.FaceNeighbourhood())),
      full_(grid.Offsets(grid.FullNeighbourhood())) {}

std::vector<std::pair<size_t, unsigned short>> SeamJoin::Relabel(
    const std::vector<unsigned short>& labels, const std::vector<float>& values,
    const std::vector<float>& mean, float background, float noise,
    const std::vector<uint8_t>& cuttable) const {
  detail::UnionFind groups = SeamlessPairs(labels, values, mean, background, noise);
  bool any = false;
  for (uint32_t l = 1; l < groups.Size() && !any; ++l) any = groups.Find(l) != l;
  if (!any) return {};
  std::vector<unsigned short> joined = Joined(labels, groups);
  if (neck_cut_ != nullptr) {
    groups = UnpartedByNecks(labels, joined, cuttable);
    joined = Joined(labels, groups);
  }
  std::vector<std::pair<size_t, unsigned short>> changes;
  for (size_t p = 0; p < joined.size(); ++p)
    if (joined[p] != labels[p]) changes.emplace_back(p, joined[p]);
  return changes;
}

detail::UnionFind SeamJoin::SeamlessPairs(const std::vector<unsigned short>& labels,
                                          const std::vector<float>& values,
                                          const std::vector<float>& mean, float background,
                                          float noise) const {
  std::map<Pair, Interface> interfaces;
  std::vector<unsigned short> around;
  grid_.ForEachVoxel([&](size_t, size_t p) {
    const unsigned short l = labels[p];
    around.clear();
    for (const ptrdiff_t o : face_) {
      const unsigned short m = labels[p + o];
      if (m != 0 && m != l && std::find(around.begin(), around.end(), m) == around.end())
        around.push_back(m);
    }
    if (l != 0) {
      for (const unsigned short m : around) {
        Interface& i = interfaces[Ordered(l, m)];
        i.sum += values[p];
        ++i.count;
      }
      return;
    }
    // A background line between two labels: its voxel and the labelled voxels beside it.
    for (size_t a = 0; a < around.size(); ++a)
      for (size_t b = a + 1; b < around.size(); ++b) {
        const Pair pair = Ordered(around[a], around[b]);
        Interface& i = interfaces[pair];
        i.sum += values[p];
        ++i.count;
        for (const ptrdiff_t o : face_) {
          const unsigned short m = labels[p + o];
          if (m != pair.first && m != pair.second) continue;
          i.sum += values[p + o];
          ++i.count;
        }
      }
  });
  detail::UnionFind groups;
  for (size_t l = 0; l < mean.size(); ++l) groups.Add();
  std::vector<Pair> candidates;
  for (const auto& [pair, i] : interfaces) {
    const float dimmer = std::min(mean[pair.first], mean[pair.second]);
    const float brighter = std::max(mean[pair.first], mean[pair.second]);
    const bool seam =
        i.sum / double(i.count) < dimmer - kSeamSignificance * noise / std::sqrt(double(i.count));
    const bool distinct = brighter - background >= kDistinctContrast * (dimmer - background);
    if (!seam && !distinct) candidates.push_back(pair);
  }
  if (candidates.empty()) return groups;
  // Two round bodies are two nuclei, whatever lies between them.
  const std::vector<uint8_t> round =
      neck_cut_ ? neck_cut_->RoundLabels(labels) : std::vector<uint8_t>(mean.size(), 0);
  for (const auto& [a, b] : candidates)
    if (!(round[a] && round[b])) groups.Join(a, b);
  return groups;
}

std::vector<unsigned short> SeamJoin::Joined(const std::vector<unsigned short>& labels,
                                             detail::UnionFind& groups) const {
  // A group takes its smallest label, the union-find's root: the oldest track of the cell.
  std::vector<unsigned short> target(groups.Size());
  for (uint32_t l = 0; l < groups.Size(); ++l)
    target[l] = static_cast<unsigned short>(groups.Find(l));
  std::vector<unsigned short> joined(labels.size());
  for (size_t p = 0; p < labels.size(); ++p) joined[p] = target[labels[p]];
  // A background voxel between two members of one group closes: the line a watershed left
  // between them. One next to another group stays, so that labels never come to touch.
  std::vector<unsigned short> closing(labels.size(), 0);
  grid_.ForEachVoxel([&](size_t, size_t p) {
    if (labels[p] != 0) return;
    unsigned short first = 0;
    bool between = false;
    for (const ptrdiff_t o : full_) {
      const unsigned short m = labels[p + o];
      if (m == 0) continue;
      if (first == 0) first = m;
      if (target[m] != target[first]) return;
      between = between || m != first;
    }
    if (between) closing[p] = target[first];
  });
  // Two neighbouring voxels that close into different groups both stay open.
  grid_.ForEachVoxel([&](size_t, size_t p) {
    if (closing[p] == 0) return;
    for (const ptrdiff_t o : full_)
      if (closing[p + o] != 0 && closing[p + o] != closing[p]) return;
    joined[p] = closing[p];
  });
  return joined;
}

detail::UnionFind SeamJoin::UnpartedByNecks(const std::vector<unsigned short>& labels,
                                            std::vector<unsigned short>& joined,
                                            const std::vector<uint8_t>& cuttable) const {
  // Only the labels that took in others are cut here, and only their pieces are looked at.
  std::vector<uint8_t> grew(cuttable.size(), 0);
  for (size_t p = 0; p < labels.size(); ++p)
    if (labels[p] != 0 && joined[p] != labels[p]) grew[joined[p]] = 1;
  std::vector<uint8_t> cut(cuttable.size(), 0);
  for (size_t l = 0; l < cut.size(); ++l) cut[l] = grew[l] && cuttable[l];
  for (const size_t p : neck_cut_->Find(joined, cut)) joined[p] = 0;
  // Members stay together where one piece of the cut label holds voxels of both.
  detail::UnionFind groups;
  for (size_t l = 0; l < cuttable.size(); ++l) groups.Add();
  std::vector<uint8_t> seen(labels.size(), 0);
  std::vector<size_t> piece;
  for (size_t start = 0; start < labels.size(); ++start) {
    if (seen[start] || !grew[joined[start]]) continue;
    seen[start] = 1;
    piece.assign(1, start);
    for (size_t head = 0; head < piece.size(); ++head)
      for (const ptrdiff_t o : full_) {
        const size_t q = piece[head] + o;
        if (seen[q] || joined[q] != joined[start]) continue;
        seen[q] = 1;
        piece.push_back(q);
      }
    unsigned short first = 0;
    for (const size_t p : piece) {
      if (labels[p] == 0) continue;
      if (first == 0) first = labels[p];
      groups.Join(first, labels[p]);
    }
  }
  return groups;
}

}  // namespace voxa::algo
