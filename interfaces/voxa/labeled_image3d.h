// LabeledImage3d: the connected regions of an image, one region id per voxel (0 = background)
// and a record per region (its bounding box and volume), ordered by region id. Regions are found
// by two-pass run-based labelling with union-find, linear in the number of voxels, and are
// numbered 1, 2, ... in raster order of their first voxel, so the numbering is deterministic.
#pragma once

#include <cstdint>
#include <map>

#include "voxa/export.h"
#include "voxa/image3d.h"
#include "voxa/neighbourhood.h"
#include "voxa/voi.h"

namespace voxa {

// One region of a labelling: L is the region id type, V the voxel type of the labelled image.
template <class L, class V>
struct ComponentInfo {
  L label = 0;          // the region id
  V value = V();        // the voxel value all voxels of the region share in the labelled image
  uint64_t volume = 0;  // number of voxels
  VOI<uint64_t> voi;    // bounding box: offset .. offset + size - 1 on each axis
};

template <class L, class V>
class VOXA_ALGO_API LabeledImage3d : public Image3d<L> {
 public:
  using Components = std::map<L, ComponentInfo<L, V>>;

  // Replaces this image by the regions of the non-zero voxels of `image`: voxels joined by `nb`
  // that hold the same value form one region, so touching voxels of different values stay
  // apart (for a bool image every region is simply a connected part of the true voxels). The
  // geometry (resolution, offset) follows `image`. On a 2D image (one slice) a 3D `nb` acts by
  // its in-plane offsets. Cost O(voxels). Throws InternalException when the
  // regions outnumber the ids L can hold.
  void CreateForegroundRegionsFF(const Image3d<V>& image, const Neighbourhood& nb);

  uint64_t NumberOfComponents() const { return components_.size(); }
  const Components& GetComponents() const { return components_; }

 private:
  Components components_;
};

extern template class LabeledImage3d<unsigned short, bool>;
extern template class LabeledImage3d<unsigned short, unsigned short>;

}  // namespace voxa
