// The geometry of a voxel grid framed by one voxel of padding on every side (in x and y always,
// in z only for stacks), so that neighbourhood offsets become plain flat index offsets and no
// inner loop needs a bounds test: the padding stands for "outside the image".
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "voxa/neighbourhood.h"

namespace voxa::algo {

class PaddedGrid {
 public:
  // A grid of nx * ny * nz image voxels; nz == 1 is a one-slice image and gets no z padding.
  PaddedGrid(uint64_t nx, uint64_t ny, uint64_t nz);

  bool IsStack() const { return nz_ > 1; }
  // Sizes of the image the grid frames.
  uint64_t SizeX() const { return nx_; }
  uint64_t SizeY() const { return ny_; }
  uint64_t SizeZ() const { return nz_; }
  // Number of voxels of the padded grid.
  size_t PaddedCount() const { return px_ * py_ * pz_; }
  // Voxels in a padded row, and padded rows in a slice.
  size_t RowLength() const { return px_; }
  size_t Rows() const { return py_; }
  size_t Slices() const { return pz_; }
  // Padded index of image voxel (x, y, z).
  size_t Padded(uint64_t x, uint64_t y, uint64_t z) const {
    return ((z + z_pad_) * py_ + (y + 1)) * px_ + (x + 1);
  }
  // The flat offsets of `nb` on the padded grid, in the neighbourhood's order.
  std::vector<ptrdiff_t> Offsets(const Neighbourhood& nb) const;
  // The face neighbourhood (4 or 6) and the full one (8 or 26) that suit the grid.
  const Neighbourhood& FaceNeighbourhood() const;
  const Neighbourhood& FullNeighbourhood() const;

  // Calls f(image_index, padded_index) for every image voxel in image order (x fastest).
  template <class F>
  void ForEachVoxel(F&& f) const {
    size_t i = 0;
    for (uint64_t z = 0; z < nz_; ++z)
      for (uint64_t y = 0; y < ny_; ++y) {
        size_t p = Padded(0, y, z);
        for (uint64_t x = 0; x < nx_; ++x) f(i++, p++);
      }
  }

 private:
  uint64_t nx_, ny_, nz_;
  size_t z_pad_;
  size_t px_, py_, pz_;
};

}  // namespace voxa::algo
