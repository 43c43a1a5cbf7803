// The label a fragment voxel is merged into: the first face neighbour, in the fixed order
// -x, +x, -y, +y, -z, +z, whose label is non-zero and differs from the voxel's own. The order
// decides ties between several neighbouring labels.
#pragma once

#include <cstdint>

#include "voxa/image3d.h"

namespace trel {

// Returns that neighbour's label, or the voxel's own label when there is none. Neighbours outside
// the image are skipped; a 2D image (one slice) has only the four in-plane ones.
uint16_t DifferingNeighbourLabel(const voxa::Image3d<unsigned short>& image, uint64_t x, uint64_t y,
                                 uint64_t z);

}  // namespace trel
