// New objects: the mask is hole-filled as a whole (in 3D a true 3D filling) and labelled; each
// region of at least min_size voxels that meets no labelled voxel gets the next label. A region
// is all or nothing: its voxels are gathered from its bounding box before any is written, and one
// labelled voxel rejects it untouched.
#include <cstdint>
#include <vector>

#include "foundation/image_iterator.h"
#include "labelframe/label_frame.h"
#include "voxa/hole_filling.h"
#include "voxa/labeled_image3d.h"

namespace trel {

namespace {

// Gathers the indices of the voxels of region `id` in its box; false when one of them is
// already labelled in `labels`.
bool GatherFreeVoxels(voxa::LabeledImage3d<unsigned short, bool>& regions,
                      voxa::Image3d<unsigned short>& labels, unsigned short id,
                      const voxa::VOI<uint64_t>& box, std::vector<uint64_t>& voxels) {
  voxels.clear();
  for (ImagePairIterator<unsigned short, unsigned short> it(regions, labels, box); !it.AtEnd();
       ++it) {
    if (it.Value() != id) continue;
    if (it.Value2() != 0) return false;
    voxels.push_back(it.Index());
  }
  return true;
}

}  // namespace

void LabelFrame::AddNewObjects(voxa::Image3d<bool>& mask) {
  voxa::BinFillHoles(mask, *fill_nb);
  voxa::LabeledImage3d<unsigned short, bool> regions;
  regions.CreateForegroundRegionsFF(mask, *label_nb);
  std::vector<uint64_t> voxels;
  for (const auto& [id, region] : regions.GetComponents()) {
    if (region.volume < min_size) continue;
    voxels.reserve(region.volume);
    if (!GatherFreeVoxels(regions, *this, id, region.voi, voxels)) continue;
    const uint16_t label = IssueLabel();
    for (const uint64_t index : voxels) SetVoxel(index, label);
  }
}

}  // namespace trel
