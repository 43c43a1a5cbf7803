// Neck splitting of a label image: the cut that separates two nuclei of one label joined by a
// narrow neck (touching nuclei, or the daughters of a division that have not parted yet), the
// same cut that the level-set routines make at the end of every evolution.
#pragma once

#include <cstddef>

#include "voxa/export.h"
#include "voxa/image3d.h"

namespace voxa {

// The neck ratios the level-set routines cut at. Touching nuclei and the daughters of a division
// are bodies joined by a neck narrower than about four fifths of the smaller body's width; single
// nuclei, even irregular ones, rarely are. In images the cut may be bolder, since the line between
// touching labels then moves onto the seam and a cut that lands beside it is mended in the next
// frames.
constexpr float kStackNeckRatio = 0.8f;
constexpr float kImageNeckRatio = 0.85f;

// Clears the voxels along which each label of `labels` (0 = background) is two bodies joined by
// a neck narrower than `neck_ratio` times the smaller body's width, the bodies being of like
// depth (the smaller at least half as deep as the larger) and at least two voxels deep; in
// images, a neck at least half as wide as the smaller body is cut only between round bodies (the
// arms of a spread-out cell are not cut off at a waist). After
// the cut the bodies of one label no longer touch, not even through a corner (8-neighbourhood on
// one slice, 26 in stacks). Widths are chamfer distances to the background in voxels; holes of
// a label count as its inside. Returns the number of cleared voxels. Throws InternalException
// for a neck_ratio that is negative or not finite; 0 cuts nothing.
VOXA_ALGO_API size_t CutNarrowNecks(Image3d<unsigned short>& labels, float neck_ratio);

}  // namespace voxa
