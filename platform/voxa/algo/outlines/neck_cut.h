// Neck cutting of labelled regions: the voxels along which a label should be divided because it
// is two bodies joined by a narrow neck (touching nuclei, or the daughters of a division before
// they part). Each label is flooded from the maxima of its chamfer distance to the background in
// decreasing distance; two flooded basins stay apart when the distance at the voxel that would
// join them (the neck's half width) is below a share of the smaller basin's peak (its body's
// half width), and the voxels that touch two such basins form the cut, one voxel wide. In an image
// a label is cut only where its pieces are round bodies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "padded_grid.h"

namespace voxa::algo {

class NeckCut {
 public:
  // `neck_ratio`: a neck narrower than this share of the smaller body is cut; 0 cuts nothing.
  NeckCut(const PaddedGrid& grid, float neck_ratio);

  // The padded indices of the cut voxels of `labels` (one label per padded voxel, 0 for the
  // background and the padding). After they are cleared, the bodies of one label no longer
  // touch, not even through a corner. Cost: a few passes over the grid and a sort of the
  // labelled voxels.
  std::vector<size_t> Find(const std::vector<unsigned short>& labels) const;
  // As above for the labels l with `cuttable[l]` set only (one flag per label value).
  std::vector<size_t> Find(const std::vector<unsigned short>& labels,
                           const std::vector<uint8_t>& cuttable) const;
  // Per label value: whether the label is a round body, at most kMaxElongation times the disc of
  // its own depth. In a stack every label counts as round, as its shape says little there.
  std::vector<uint8_t> RoundLabels(const std::vector<unsigned short>& labels) const;

 private:
  void Distances(const std::vector<unsigned short>& labels, std::vector<uint32_t>& distance) const;

  const PaddedGrid& grid_;
  float neck_ratio_;
  std::vector<ptrdiff_t> offsets_;  // the full neighbourhood
  std::vector<uint32_t> weights_;   // chamfer weight of each offset
};

}  // namespace voxa::algo
