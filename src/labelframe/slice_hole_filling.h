// Hole filling of a mask slice by slice: each z-slice is filled as a 2D image, so a cavity of a
// stack is filled only in the slices where its section is enclosed.
#pragma once

#include "voxa/image3d.h"
#include "voxa/neighbourhood.h"

namespace trel {

// Fills the holes of every z-slice of `mask` with `nb`, in place. `slice` is working space.
void FillHolesSliceBySlice(voxa::Image3d<bool>& mask, const voxa::Neighbourhood& nb,
                           voxa::Image3d<bool>& slice);

}  // namespace trel
