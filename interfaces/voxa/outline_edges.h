// Outlines at the level of their own edge: the step that the level-set routines take at the end
// of every multi-label evolution, for label images that come from elsewhere (a graph cut, say).
// A segmentation by region means puts each outline where a voxel is as near the label's mean as
// the background's; where the optics blur a nucleus' edge over a few voxels, and more so along z,
// that half level lies outside the nucleus. This step measures every label against its own
// surroundings instead and moves its outline to a level between the two.
#pragma once

#include <cstddef>

#include "voxa/export.h"
#include "voxa/image3d.h"

namespace voxa {

// Moves every label's outline in `labels` (0 = background) by at most three face steps to 0.6
// of the way from the mean of the background a few voxels outside it to the mean of the label a
// few voxels inside, on the grey values `values` (the lifted scale of GrayToFloatNormalized).
// A label keeps its voxels deeper than that, grows only into background nearer to it than to any
// other label and touching no other label, even through a corner, and is left as it is when its
// edge is less than two standard deviations of the background high. Labels never merge, no
// label appears, and a label with a core keeps it. Returns the number of voxels that changed.
// Throws InternalException when the two images differ in size. Cost: a few passes over the
// grid.
VOXA_ALGO_API size_t MoveOutlinesToEdges(Image3d<unsigned short>& labels,
                                         const Image3d<float>& values);

}  // namespace voxa
