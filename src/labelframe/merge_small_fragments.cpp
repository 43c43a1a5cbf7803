// Small-fragment merge: the regions of the label image are listed once; each region of at most
// overlap_volume voxels is walked in raster order within its bounding box, and at the first voxel
// with a differing face neighbour the region is flooded (full connectivity) with that
// neighbour's label. Later regions are read with the values earlier merges left.
#include <cstdint>

#include "foundation/image_iterator.h"
#include "labelframe/differing_neighbour_label.h"
#include "labelframe/label_frame.h"
#include "voxa/flood_fill.h"
#include "voxa/labeled_image3d.h"

namespace trel {

void LabelFrame::MergeSmallFragments() {
  if (overlap_volume == 0) return;
  voxa::LabeledImage3d<unsigned short, unsigned short> regions;
  regions.CreateForegroundRegionsFF(*this, *label_nb);
  for (const auto& [id, region] : regions.GetComponents()) {
    if (region.volume > overlap_volume) continue;
    for (ImagePairIterator<unsigned short, unsigned short> it(regions, *this, region.voi);
         !it.AtEnd(); ++it) {
      if (it.Value() != id) continue;
      const uint16_t neighbour = DifferingNeighbourLabel(*this, it.X(), it.Y(), it.Z());
      if (neighbour == it.Value2()) continue;
      voxa::FloodFill<unsigned short>(*this, neighbour, it.Index(), *label_nb);
      break;
    }
  }
}

}  // namespace trel
