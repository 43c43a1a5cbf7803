// Hole filling of binary masks: every false voxel that cannot reach the outside of the image
// through false voxels joined by the neighbourhood becomes true. Runs of false voxels are joined
// by union-find (as in region labelling) and the sets that touch the image edge are kept.
#pragma once

#include "voxa/export.h"
#include "voxa/image3d.h"
#include "voxa/neighbourhood.h"

namespace voxa {

// Fills the holes of `mask` in place. A false voxel reaches the outside when one of its `nb`
// neighbours lies outside the image. On a 2D image (one slice) the offsets of `nb` that leave the
// plane do not count, so a single slice filled with nb3D_6 is filled as a 2D image with
// 4-connectivity; a stack filled with nb2D_4 is filled slice by slice. Cost O(voxels).
VOXA_ALGO_API void BinFillHoles(Image3d<bool>& mask, const Neighbourhood& nb);

}  // namespace voxa
