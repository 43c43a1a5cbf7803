// Interfaces between touching labels. Where two labels meet, the evolution has no force that
// moves the line between them (both are foreground), so it stays where the previous frame's
// labels put it, and moving nuclei drag a neighbour's label across their own body. This step
// frees a band of voxels on either side of every such interface and floods it again from the
// rest of each label, brightest voxels first: the labels then meet along the darkest path
// between them, the seam between two touching nuclei. As in the evolution, two labels never
// touch, not even through a corner: the voxels where two floods meet stay background.
//
// A dim nucleus pressed against a bright one has no dark seam: the bright label's flood would
// pour into the dim nucleus as far as the band reaches. Where the two labels' mean values are
// far apart, the voxels of the band that look like their own label (closer to its mean than to
// the other's) therefore stay put and seed the flood; only those that look like the neighbour
// are flooded again.
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
  // `distinct`: labels whose mean values differ by at least this much are told apart by value.
  InterfaceWatershed(const PaddedGrid& grid, int band, float distinct);

  // The (padded index, new label) of every voxel of `labels` whose label changes, with
  // `values` the grey values (both one entry per padded voxel; 0 is background and padding)
  // and `mean` each label's mean value (one entry per label value).
  // Only labels and the background voxels that part them change; a label keeps at least its
  // voxels farthest from its interfaces. Cost: two passes over the grid and a heap over the
  // band.
  std::vector<std::pair<size_t, unsigned short>> Relabel(const std::vector<unsigned short>& labels,
                                                         const std::vector<float>& values,
                                                         const std::vector<float>& mean) const;

 private:
  struct Band {
    std::vector<size_t> voxels;          // the background ones that part two labels first
    std::vector<uint8_t> depth;          // face steps from the nearest interface, 1 on it
    std::vector<unsigned short> across;  // the label on the other side of that interface
  };

  // A label other than `label` (and the background) among p's full neighbours, or 0.
  unsigned short OtherLabel(const std::vector<unsigned short>& labels, size_t p,
                            unsigned short label) const;
  // The voxels within band_ face steps of an interface, one entry per padded voxel for the
  // depth and the label across (0 outside the band).
  Band FindBand(const std::vector<unsigned short>& labels) const;
  // The state of every voxel for the flood: the band's voxels open, except the seeds each label
  // keeps; all others fixed.
  std::vector<uint8_t> OpenVoxels(const std::vector<unsigned short>& labels,
                                  const std::vector<float>& values, const std::vector<float>& mean,
                                  const Band& band) const;
  // Whether a voxel of label `own` whose other side is label `other` is told apart as its own:
  // the two means are distinct and `value` lies nearer to `own`'s.
  bool LooksOwn(float value, const std::vector<float>& mean, unsigned short own,
                unsigned short other) const;

  const PaddedGrid& grid_;
  int band_;
  float distinct_;
  std::vector<ptrdiff_t> face_, full_;
};

}  // namespace voxa::algo
