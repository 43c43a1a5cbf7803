// Flood fill: the region of voxels that share the seed's value and are joined to the seed by the
// neighbourhood takes a new value. Breadth-first, over flat index offsets of the neighbourhood.
#pragma once

#include <cstdint>

#include "voxa/export.h"
#include "voxa/image3d.h"
#include "voxa/neighbourhood.h"

namespace voxa {

// Sets every voxel of the `nb`-connected region of equal value around the voxel with linear
// index `seed` to `value`. Nothing changes when the seed already holds `value`. Cost O(size of
// the region times the neighbourhood); the work list grows up to the region's size. Throws
// InternalException when `seed` lies outside the image.
template <class T>
void FloodFill(Image3d<T>& image, T value, uint64_t seed, const Neighbourhood& nb);

extern template VOXA_ALGO_API void FloodFill<bool>(Image3d<bool>&, bool, uint64_t,
                                                   const Neighbourhood&);
extern template VOXA_ALGO_API void FloodFill<unsigned char>(Image3d<unsigned char>&, unsigned char,
                                                            uint64_t, const Neighbourhood&);
extern template VOXA_ALGO_API void FloodFill<unsigned short>(Image3d<unsigned short>&,
                                                             unsigned short, uint64_t,
                                                             const Neighbourhood&);

}  // namespace voxa
