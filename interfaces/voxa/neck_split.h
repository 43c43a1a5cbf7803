// Neck splitting of a label image: the cut that separates two nuclei of one label joined by a
// narrow neck (touching nuclei, or the daughters of a division that have not parted yet), the
// same cut that the level-set routines make at the end of every evolution.
#pragma once

#include <cstddef>

#include "voxa/export.h"
#include "voxa/image3d.h"

namespace voxa {

// Clears the voxels along which each label of `labels` (0 = background) is two bodies joined by
// a neck narrower than `neck_ratio` times the smaller body's width, the bodies being of like
// depth (the smaller at least half as deep as the larger) and at least two voxels deep. After
// the cut the bodies of one label no longer touch, not even through a corner (8-neighbourhood on
// one slice, 26 in stacks). Widths are chamfer distances to the background in voxels; holes of
// a label count as its inside. Returns the number of cleared voxels. Throws InternalException
// for a neck_ratio that is negative or not finite; 0 cuts nothing.
VOXA_ALGO_API size_t CutNarrowNecks(Image3d<unsigned short>& labels, float neck_ratio);

}  // namespace voxa
