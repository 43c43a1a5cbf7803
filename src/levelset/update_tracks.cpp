// Frame-to-frame association. The evolved label image is split into regions of one label each;
// regions that are too small or lie in the border margin are erased; a label left with one kept
// region continues its track (or opens the track of an object new in this frame), and a label
// left with several is a division whose pieces get new labels, in region order, with the old
// label as parent. Every kept region is then painted with its final label together with the
// slice-wise holes of the frame's mask that lie in its bounding box; later regions paint last.
#include <cinttypes>
#include <cstdint>
#include <vector>

#include "foundation/image_iterator.h"
#include "labelframe/kept_region.h"
#include "labelframe/label_frame.h"
#include "labelframe/slice_hole_filling.h"
#include "trel/error.h"
#include "voxa/labeled_image3d.h"
#include "voxa/threshold.h"

namespace trel {

namespace {

using Regions = voxa::LabeledImage3d<unsigned short, unsigned short>;
using Region = voxa::ComponentInfo<unsigned short, unsigned short>;
constexpr unsigned short kLowestLabel = 1, kHighestLabel = 65535;

void Erase(Regions& regions, LabelFrame& frame, const Region& region) {
  for (ImagePairIterator<unsigned short, unsigned short> it(regions, frame, region.voi);
       !it.AtEnd(); ++it)
    if (it.Value() == region.label) it.Value2() = 0;
}

// Paints the region and the filled holes (background in the region image, true in `filled`) of
// its bounding box with `label`.
void Paint(Regions& regions, LabelFrame& frame, const voxa::Image3d<bool>& filled,
           const Region& region, uint16_t label) {
  const bool* hole = filled.begin();
  for (ImagePairIterator<unsigned short, unsigned short> it(regions, frame, region.voi);
       !it.AtEnd(); ++it) {
    const unsigned short id = it.Value();
    if (id == region.label || (id == 0 && hole[it.Index()])) it.Value2() = label;
  }
}

}  // namespace

void LabelFrame::UpdateTracks(uint64_t i) {
  Regions regions;
  regions.CreateForegroundRegionsFF(*this, *label_nb);
  voxa::Image3d<bool> filled, slice;
  voxa::Threshold<unsigned short, bool>(*this, filled, kLowestLabel, kHighestLabel);
  FillHolesSliceBySlice(filled, *fill_nb, slice);

  // All voxels of a region hold one label, so the region's value is the label of each of them.
  std::vector<uint32_t> kept_regions_of_label(last_label, 0);
  std::vector<uint16_t> label_of_region(regions.NumberOfComponents(), 0);
  std::vector<char> kept(regions.NumberOfComponents(), 0);
  const uint64_t width = GetSizeX(), height = GetSizeY();
  for (const auto& [id, region] : regions.GetComponents()) {
    if (region.value > last_label)
      throw Error("Frame i=%" PRIu64
                  ": The label image holds label %u, above the last issued "
                  "label %u!",
                  i, static_cast<unsigned>(region.value), static_cast<unsigned>(last_label));
    if (!IsKeptRegion(region.voi, region.volume, width, height, min_size, border)) continue;
    kept[id - 1] = 1;
    label_of_region[id - 1] = region.value;
    ++kept_regions_of_label[region.value - 1];
  }

  for (const auto& [id, region] : regions.GetComponents()) {
    if (!kept[id - 1]) {
      Erase(regions, *this, region);
      continue;
    }
    const uint16_t label = label_of_region[id - 1];
    const auto track = tracks.find(label);
    uint16_t paint = label;
    if (kept_regions_of_label[label - 1] == 1) {
      if (track != tracks.end())
        track->second.last_frame = i;
      else
        tracks[label] = {label, i, i, 0};
    } else {
      paint = IssueLabel();
      tracks[paint] = {paint, i, i, track != tracks.end() ? label : uint16_t{0}};
    }
    Paint(regions, *this, filled, region, paint);
  }
}

}  // namespace trel
