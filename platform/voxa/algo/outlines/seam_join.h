// Joining labels that nothing parts. A cell whose faint parts came apart in an earlier frame keeps
// them as labels of their own, and once they have grown back together the evolution never
// merges them: a whole cell ends up as a chain of labels cut straight across. Two touching labels
// are one object when the voxels along their interface are as bright as the dimmer of the two
// (no dark seam lies between them), when they are of like brightness and when one of them is not
// a round body: touching nuclei are two round bodies, while the pieces of a spread-out cell are
// long. Members that the neck cut would part again, so that no piece keeps voxels of both, stay
// apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "outlines/neck_cut.h"
#include "padded_grid.h"
#include "regions/union_find.h"

namespace voxa::algo {

// An interface is a seam when its mean lies this many of its own standard errors (the noise over
// the square root of its voxels) below the dimmer label's mean: a one-sided test at about 2 %.
constexpr double kSeamSignificance = 2.0;
// Of two touching labels, one whose contrast over the background is this many times the other's
// is another object: a nucleus in the haze of its own light, not a part of it.
constexpr float kDistinctContrast = 3.0f;

class SeamJoin {
 public:
  // `neck_cut`, when not null, judges whether a joined label is one body.
  SeamJoin(const PaddedGrid& grid, const NeckCut* neck_cut);

  // The (padded index, label) changes that join the touching labels of `labels` (one per padded
  // voxel, 0 for the background and the padding) that nothing parts: the interface's mean of
  // `values` is not significantly (kSeamSignificance, with the noise `noise`) below the dimmer
  // label's mean in `mean` (indexed by label), neither label is kDistinctContrast times as far
  // above `background` as the other, and the two are not both round bodies. A join holds only
  // where, once the joined label is cut at its necks (the labels with `cuttable` set), one piece
  // still holds voxels of both members; a neck away from the interface does not undo it. A joined
  // group takes its smallest label; a background voxel between two of its members, with no other
  // group around, closes into it.
  std::vector<std::pair<size_t, unsigned short>> Relabel(
      const std::vector<unsigned short>& labels, const std::vector<float>& values,
      const std::vector<float>& mean, float background, float noise,
      const std::vector<uint8_t>& cuttable) const;

 private:
  // The labels grouped by the seamless interfaces between them.
  detail::UnionFind SeamlessPairs(const std::vector<unsigned short>& labels,
                                  const std::vector<float>& values, const std::vector<float>& mean,
                                  float background, float noise) const;
  // `labels` with every group under one label and the background closed between its voxels.
  std::vector<unsigned short> Joined(const std::vector<unsigned short>& labels,
                                     detail::UnionFind& groups) const;

  // Cuts the labels of `joined` that took in others at their necks and groups again the members
  // that a piece still holds together.
  detail::UnionFind UnpartedByNecks(const std::vector<unsigned short>& labels,
                                    std::vector<unsigned short>& joined,
                                    const std::vector<uint8_t>& cuttable) const;

  const PaddedGrid& grid_;
  const NeckCut* neck_cut_;
  std::vector<ptrdiff_t> face_, full_;
};

}  // namespace voxa::algo
