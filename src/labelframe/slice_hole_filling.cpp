// Slice-wise hole filling (see slice_hole_filling.h).
#include "labelframe/slice_hole_filling.h"

#include "voxa/hole_filling.h"

namespace trel {

void FillHolesSliceBySlice(voxa::Image3d<bool>& mask, const voxa::Neighbourhood& nb,
                           voxa::Image3d<bool>& slice) {
  for (uint64_t z = 0; z < mask.GetSizeZ(); ++z) {
    mask.GetSliceZ(slice, z);
    voxa::BinFillHoles(slice, nb);
    mask.SetSliceZ(slice, z);
  }
}

}  // namespace trel
