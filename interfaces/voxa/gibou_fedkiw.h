// GibouFedkiw: a fast two-phase piecewise-constant segmentation in the manner of Gibou and
// Fedkiw's hybrid k-means level set (2005): voxels are assigned to the nearer of two phase means
// under weighted squared distances, the means are recomputed, and a majority smoothing of the
// phase boundary stands in for the level-set regularisation between the k-means steps. The
// brighter phase is the foreground. It serves as the quick initial segmentation of a frame.
#pragma once

#include <cstddef>

#include "voxa/export.h"
#include "voxa/image3d.h"

namespace voxa {

// Segments `in` into a foreground (true) and a background (false) phase.
//   out        sized like `in` (MakeRoom) and given its resolution, offset and description
//   fg_weight  weight of the foreground term fg_weight * (v - fg_mean)^2
//   bg_weight  weight of the background term bg_weight * (v - bg_mean)^2; a larger weight
//              makes its phase tighter around its mean, so raising bg_weight relative to
//              fg_weight lowers the split and lets dimmer voxels into the foreground
//   fg_mean, bg_mean  receive the final phase means in the units of `in` (a phase left empty
//              reports the mean of the other)
//   count      at most this many rounds of (assign by distance, smooth, update the means); the
//              rounds stop earlier once a round gives the phases of the round before. 0 gives
//              the start split alone, unsmoothed
// Start: Otsu's split of the histogram, refined by k-means steps on the histogram itself. A voxel
// at least as bright as fg_mean always belongs to the foreground, so that unequal weights never
// send the brightest voxels to the background; each assignment is therefore one threshold
// between the two means. The smoothing is a majority vote in the 3x3 box (one-slice images) or
// the 3x3x3 box (stacks). Cost: a few passes over the image per round. Throws InternalException
// for a negative or non-finite weight, or both weights zero.
//
// The 16-bit overload segments on a detection scale rather than on raw grey values: the lightly
// smoothed intensity above the background peak b of the histogram, in units of the distance from
// b to the histogram's triangle split t (the foot of the background peak), through the saturating
// curve 1 - 2^(-(v - b) / (t - b)). Background maps near 0 and every object clearly above the
// background near 1, however bright, so that a global two-phase model finds a nucleus a few grey
// values above the background beside nuclei a hundred times brighter; the boundaries it gives
// are generous and are meant to be refined by the level-set routines. Its result does not change
// when the grey values are scaled or offset (8-bit data read as 16-bit). The float overload works
// on the values as given, unless its two means come out within three noise deviations of the
// background phase of each other: small objects in a broad noisy background can make two means
// split the noise instead, and then it segments on the detection scale of its values as above.
// Otherwise it also segments the detection scale and adds the parts of that segmentation that
// meet none of its objects (face neighbours): nuclei a few grey values above the background,
// which the split on the values leaves out beside bright ones, whatever the weights. The objects
// the split found keep its outlines, and the means are those of the final phases. The added pass
// costs about as much as the split.
VOXA_ALGO_API void GibouFedkiw(const Image3d<unsigned short>& in, Image3d<bool>& out,
                               float fg_weight, float bg_weight, float& fg_mean, float& bg_mean,
                               size_t count);
VOXA_ALGO_API void GibouFedkiw(const Image3d<float>& in, Image3d<bool>& out, float fg_weight,
                               float bg_weight, float& fg_mean, float& bg_mean, size_t count);

}  // namespace voxa
