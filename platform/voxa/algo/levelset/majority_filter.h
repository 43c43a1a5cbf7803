// A majority vote over the 3x3 box (one-slice images) or the 3x3x3 box (stacks) of a binary
// mask: a voxel becomes true when more than half of the box's in-image voxels are true, false
// when fewer are, and keeps its value on a tie (possible only at the image border). The box sums
// are separable, so the cost is a few passes over the image whatever the dimension.
#pragma once

#include <cstdint>
#include <vector>

namespace voxa::algo {

class MajorityFilter {
 public:
  MajorityFilter(uint64_t nx, uint64_t ny, uint64_t nz);
  // Filters `in` into `out` (both nx * ny * nz voxels, x fastest; they must not overlap).
  // Returns the number of voxels whose value changed.
  uint64_t Apply(const bool* in, bool* out);

 private:
  void SumAlong(const uint8_t* in, uint8_t* out, uint64_t stride, uint64_t size) const;

  uint64_t n_[3];
  std::vector<uint8_t> a_, b_;  // box sums, reused between calls
};

}  // namespace voxa::algo
