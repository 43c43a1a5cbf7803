// The offsets of a neighbourhood as they apply to one image: on a 2D image (one slice) the
// offsets that leave the plane are dropped, so that a 3D neighbourhood keeps its in-plane
// neighbours there; the zero offset is dropped, and the set is closed under negation, since
// connectivity is symmetric. Each offset also carries its step in linear voxel index.
#pragma once

#include <cstdint>
#include <vector>

#include "voxa/neighbourhood.h"
#include "voxa/vector3d.h"

namespace voxa::detail {

struct FlatOffset {
  int dx, dy, dz;
  int64_t delta;  // (dz * Y + dy) * X + dx
};

// The neighbourhood's own offsets first, in its order, then the missing negations.
std::vector<FlatOffset> EffectiveOffsets(const Neighbourhood& nb, const Vector3d<uint64_t>& size);

// True when the voxel (x, y, z) + offset lies inside an image of the given size.
inline bool InsideAfterStep(const FlatOffset& o, uint64_t x, uint64_t y, uint64_t z,
                            const Vector3d<uint64_t>& size) {
  return x + static_cast<uint64_t>(o.dx) < size[0] && y + static_cast<uint64_t>(o.dy) < size[1] &&
         z + static_cast<uint64_t>(o.dz) < size[2];
}

}  // namespace voxa::detail
