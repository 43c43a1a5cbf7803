// First-frame labelling: the mask's holes are filled slice by slice, its regions are labelled
// with full connectivity, and every region that passes the size and border test gets the next
// label and a track opened at frame 0, in ascending region order. Painting walks only the
// region's bounding box.
#include <cstdint>

#include "foundation/image_iterator.h"
#include "labelframe/kept_region.h"
#include "labelframe/label_frame.h"
#include "labelframe/slice_hole_filling.h"
#include "voxa/labeled_image3d.h"

namespace trel {

void LabelFrame::LabelFromMask(voxa::Image3d<bool>& mask) {
  last_label = 0;
  SetResolution(mask.GetResolution());
  SetOffset(mask.GetOffset());
  SetDescription(mask.GetDescription());
  MakeRoom(mask.GetSizeX(), mask.GetSizeY(), mask.GetSizeZ());
  SetAllVoxels(last_label);

  voxa::Image3d<bool> slice;
  FillHolesSliceBySlice(mask, *fill_nb, slice);
  voxa::LabeledImage3d<unsigned short, bool> regions;
  regions.CreateForegroundRegionsFF(mask, *label_nb);

  const uint64_t width = mask.GetSizeX(), height = mask.GetSizeY();
  for (const auto& [id, region] : regions.GetComponents()) {
    if (!IsKeptRegion(region.voi, region.volume, width, height, min_size, border)) continue;
    const uint16_t label = IssueLabel();
    TrackRecord& record = tracks[label];
    record = {label, 0, 0, 0};
    for (ImagePairIterator<unsigned short, unsigned short> it(regions, *this, region.voi);
         !it.AtEnd(); ++it)
      if (it.Value() == id) it.Value2() = label;
  }
}

}  // namespace trel
