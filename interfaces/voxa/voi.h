// A box of voxels ("volume of interest"): an offset and a size along x, y and z. The box covers
// offset .. offset + size - 1 on each axis; a zero size on any axis makes it empty.
#pragma once

#include <cstdint>

#include "voxa/vector3d.h"

namespace voxa {

template <class T = uint64_t>
struct VOI {
  Vector3d<T> offset;
  Vector3d<T> size;

  constexpr VOI() = default;
  constexpr VOI(T x0, T y0, T z0, T sx, T sy, T sz) : offset(x0, y0, z0), size(sx, sy, sz) {}

  constexpr bool Empty() const { return size[0] == 0 || size[1] == 0 || size[2] == 0; }
  friend constexpr bool operator==(const VOI& a, const VOI& b) {
    return a.offset == b.offset && a.size == b.size;
  }
};

}  // namespace voxa
