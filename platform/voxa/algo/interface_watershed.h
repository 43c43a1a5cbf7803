// Interfaces between touching labels. Where two labels meet, the evolution has no force that
// moves the line between them (both are foreground), so it stays where the previous frame's
// labels put it, and moving nuclei drag a neighbour's label across their own body. This step
// frees a band of voxels on either side of every such interface and floods it again from the
// rest of each label, brightest voxels first: the labels then meet along the darkest path
// between them, the seam between two touching nuclei. As in the evolution, two labels never
// touch, not even through a corner: the voxels where two floods meet stay background.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "padded_grid.h"

namespace voxa::algo {

class InterfaceWatershed {
 public:
  // `band`: how many face steps on either side of an interface may change label; 0 frees none.
  InterfaceWatershed(const PaddedGrid& grid, int band);

  // The (padded index, new label) of every voxel of `labels` whose label changes, with
  // `values` the grey values (both one entry per padded voxel; 0 is background and padding).
  // Only labels and the background voxels that part them change; a label keeps at least its
  // voxels farthest from its interfaces. Cost: a pass over the grid and a heap over the band.
  std::vector<std::pair<size_t, unsigned short>> Relabel(const std::vector<unsigned short>& labels,
                                                         const std::vector<float>& values) const;

 private:
  // A label other than `label` (and the background) among p's full neighbours, or 0.
  unsigned short OtherLabel(const std::vector<unsigned short>& labels, size_t p,
                            unsigned short label) const;
  // Face steps from the nearest interface, 1 on it, up to band_, 0 outside the band; `band`
  // gets the band's voxels, the background ones that part two labels among them.
  std::vector<uint8_t> BandDepths(const std::vector<unsigned short>& labels,
                                  std::vector<size_t>& band) const;

  // The state of every voxel for the flood: the band's voxels open, except the seeds each label
  // keeps; all others fixed.
  std::vector<uint8_t> OpenVoxels(const std::vector<unsigned short>& labels,
                                  const std::vector<uint8_t>& depth,
                                  const std::vector<size_t>& band) const;

  const PaddedGrid& grid_;
  int band_;
  std::vector<ptrdiff_t> face_, full_;
};

}  // namespace voxa::algo
