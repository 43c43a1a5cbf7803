// Fast level-set segmentation ("fls"): the region speed image and two Chan-Vese routines evolved
// by the two-list scheme of Shi and Karl (2008). The level set is held as a label image with an
// inner and an outer boundary list; boundary voxels switch side by the sign of the Chan-Vese force
// and a smoothing cycle keeps the boundary regular, so the work per iteration is proportional to
// the boundary, not to the image. One code path serves one-slice images (4/8 neighbourhoods) and
// stacks (6/26 neighbourhoods).
#pragma once

#include <cstddef>

#include "voxa/export.h"
#include "voxa/image3d.h"
#include "voxa/parallelism.h"

namespace voxa::fls {

// What Mask reports. The routine's level set is the two-list label image: the interior of the
// labels, their inner boundary list L_in (labelled voxels with a background face neighbour), the
// outer boundary list L_out (background voxels with a labelled face neighbour) and the exterior.
struct ResultCreator {
  enum ResType : int {
    kOuterBoundary = 0,  // L_out
    kInnerBoundary = 1,  // L_in
    kInterior = 2,       // labelled voxels off the boundary
    kForeground = 3,     // every labelled voxel (L_in and interior): the segmentation
  };
};

// A level-set evolution created by a factory below; the caller owns it and deletes it through
// this interface. T is the value type of the level-set function the routine exposes (the two-list
// scheme's discrete function; only int is provided). Calls, in order: Initialize once, then
// IterateUntilConvergence (any number of times, each continuing where the last stopped), then
// Mask and Labels as often as wanted. Calling them before Initialize throws InternalException.
template <class T>
class VOXA_ALGO_API Routine {
 public:
  virtual ~Routine();
  // Builds the evolution's working state from the start image given to the factory: the padded
  // label image, the two boundary lists and the region sums. Costs one pass over the image.
  // Calling it again starts over from the start image.
  virtual void Initialize() = 0;
  // Evolves until a full iteration moves no boundary voxel, the boundary only oscillates (it
  // returns to a state seen at the end of one of the last few iterations, or the only voxels an
  // iteration leaves changed are ones that have already changed three times: a flicker in the
  // noise), or max_iter iterations are done. One iteration is one field cycle (up to a fixed number
  // of sweeps of the region force over both lists, ending early when a sweep moves nothing)
  // followed by the smoothing cycle. Returns the number of iterations done. Cost per iteration:
  // proportional to the length of the boundary lists.
  virtual size_t IterateUntilConvergence(size_t max_iter) = 0;
  // Writes one bool per voxel (x fastest) into `buffer`: true where the voxel is of `type`, or,
  // when `invert`, where it is not. ResType 3 (kForeground) gives the segmentation. Throws
  // InternalException for an unknown type.
  virtual void Mask(bool* buffer, ResultCreator::ResType type, bool invert) const = 0;
  // Writes one label per voxel into `buffer`, 0 for background. With `only_foreground` the
  // background voxels of `buffer` are left as they are.
  virtual void Labels(unsigned short* buffer, bool only_foreground) const = 0;
};

template <class T>
Routine<T>::~Routine() = default;

extern template class Routine<int>;

// The image the routines evolve on, sized like `in` and given its geometry. Intensities are
// smoothed lightly in single precision (which also undoes the integer rounding of an earlier
// smoothing), normalised to the range between the 0.1 % and 99.9 % percentiles of the histogram,
// and lifted by a logarithmic curve log(1 + x / e) / log(1 + 1 / e) with a small e, so that a
// dim nucleus stands out from the background almost as clearly as a bright one does and a region
// boundary falls near the geometric mean of its two phase levels. The result is invariant to a
// scaling of the input (8-bit data read as 16-bit, or a brighter exposure), lies in [0, 1] up to
// the clipped tails, and a flat image gives all zeros.
VOXA_ALGO_API void RegionSpeedImage(const Image3d<unsigned short>& in, Image3d<float>& out);

// Two-phase Chan-Vese with global region means (Chan and Vese 2001) started from `init_mask`;
// its Labels gives 1 for the foreground.
//   speed         the image to segment, normally from RegionSpeedImage; it must outlive the
//                 routine and stay unchanged while the routine lives
//   init_mask     the start segmentation, sized like `speed`; read by the factory
//   optional      null: every voxel may change side; otherwise a mask sized like `speed` of the
//                 voxels that may change: the others keep their start side
//   fixed_means   false: the two means follow the regions, updated from the voxels that
//                 switched after every half-sweep (the even, then the odd slabs of rows);
//                 true: they stay those of the start segmentation
//   count         the number of sweeps of the smoothing cycle that ends every iteration, in
//                 which each boundary voxel takes the side of the majority of its full
//                 neighbourhood (2 is the usual value; 0 leaves only the curvature term)
//   curv_weight   weight of the curvature term; 0 also switches the smoothing cycle off
//   fg_weight, bg_weight  the weights of fg_weight * (v - c1)^2 and bg_weight * (v - c2)^2
// The force on a boundary voxel of value v is
//   (bg_weight (v - c2)^2 - fg_weight (v - c1)^2) / (c1 - c2)^2 + curv_weight * (s - 1/2)
// with v held between c2 and c1, and s the share of the voxel's full neighbourhood (8 or 26
// voxels, those inside the image) that belongs to the region: a discrete curvature, negative at
// convex corners and on lone voxels, positive in notches. It is the same whichever side the voxel
// is on, so a voxel's preferred side depends only on its surroundings. Dividing by the squared
// contrast makes curv_weight balance smoothness against the data in the same way for dim and
// bright images. A positive force moves the voxel into the foreground, a negative one out; a
// foreground no brighter than the background empties. When the evolution ends, a region made of
// two bodies of like depth joined by a neck narrower than 0.85 (images) or 0.8 (stacks) of the
// smaller body's width is cut along the neck: touching nuclei and the daughters of a division.
// Regions barely above the noise are not cut. Throws InternalException for mismatched
// sizes, a negative count, or a negative or non-finite weight.
VOXA_ALGO_API Routine<int>* GlobChanVeseRoutine(const Image3d<float>& speed,
                                                const Image3d<bool>& init_mask,
                                                const Image3d<bool>* optional, bool fixed_means,
                                                int count, float curv_weight, float fg_weight,
                                                float bg_weight);
// The same, its evolution shared out to `parallelism.threads` threads; the result is the same for
// any number.
VOXA_ALGO_API Routine<int>* GlobChanVeseRoutine(const Image3d<float>& speed,
                                                const Image3d<bool>& init_mask,
                                                const Image3d<bool>* optional, bool fixed_means,
                                                int count, float curv_weight, float fg_weight,
                                                float bg_weight, Parallelism parallelism);

// Multi-label Chan-Vese started from the label image `labels` (0 = background): every label
// evolves against the common background. Two labels never merge: a background voxel whose full
// neighbourhood holds two different labels stays background. No label appears that is not in the
// start image; a label may vanish. `speed`, `optional`, `count` and the weights mean what they do
// for GlobChanVeseRoutine, with the background mean c2 common to all labels.
//   shared_mean   false: each label is measured against its own mean c1, so a dim nucleus keeps
//                 its own boundary beside bright ones (with one common mean, nuclei ten to thirty
//                 times dimmer than their neighbours are lost); a label's mean is held at least
//                 a tenth of the mean foreground contrast above the background, so that a label
//                 sitting on background still empties. true: one mean over all labels.
// In a 2D image, when the evolution ends, the line between two touching labels (they are always
// parted by a line of background) may move up to 10 voxels to either side: that band is flooded
// again from the rest of each label, brightest voxels first, so that the labels meet along the
// darkest path between them, the seam of two touching nuclei, instead of where the start labels
// met. Stacks keep the line: there the axial blur washes out the seam between nuclei above one
// another. So does a routine given a mask of mutable voxels.
// Then every label's outline moves, by up to 3 voxels either way, to the level of its own edge:
// 0.6 of the way from the mean of the background 2 to 3 voxels outside the label to the mean of
// the label's voxels 2 to 3 voxels inside (the global means put the outline of a nucleus in a
// haze, or with a dim rim, too far out or in). The label grows only into background that is
// nearer to it than to any other label, stays connected to its voxels deeper than 3, and keeps
// its outline where either ring has fewer than 8 voxels or its edge is less than two standard
// deviations of the background high (the noise would fray it); not with a mask of mutable voxels.
// Labels returns the evolved labels, Mask the foreground of all labels.
VOXA_ALGO_API Routine<int>* LabGlobChanVeseRoutine(const Image3d<float>& speed,
                                                   const Image3d<unsigned short>& labels,
                                                   const Image3d<bool>* optional, int count,
                                                   float curv_weight, float fg_weight,
                                                   float bg_weight, bool shared_mean);
// The same, its evolution shared out to `parallelism.threads` threads; the result is the same for
// any number.
VOXA_ALGO_API Routine<int>* LabGlobChanVeseRoutine(const Image3d<float>& speed,
                                                   const Image3d<unsigned short>& labels,
                                                   const Image3d<bool>* optional, int count,
                                                   float curv_weight, float fg_weight,
                                                   float bg_weight, bool shared_mean,
                                                   Parallelism parallelism);

}  // namespace voxa::fls
