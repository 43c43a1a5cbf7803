// LabelFrame: the tracker's working state carried from frame to frame: a 16-bit label image (0 =
// background, otherwise the label of the track owning the voxel), the parameters shared by the
// clean-up and association steps, the counter that issues labels and the track table. Labels are
// only ever issued by incrementing the counter, so they are never reused within a run.
#pragma once

#include <cstdint>
#include <map>

#include "foundation/track_record.h"
#include "voxa/image3d.h"
#include "voxa/neighbourhood.h"

namespace trel {

enum class Dimension { k2D, k3D };

// 2D when every frame has one slice, 3D otherwise.
inline Dimension DimensionOf(uint64_t num_slices) {
  return num_slices == 1 ? Dimension::k2D : Dimension::k3D;
}

class LabelFrame : public voxa::Image3d<unsigned short> {
 public:
  // An empty image, no labels issued, no tracks. The dimension picks the neighbourhoods (8/4 in
  // 2D, 26/6 in 3D) and the exponent of overlap_volume (overlap squared or cubed, in unsigned
  // 64-bit arithmetic).
  LabelFrame(Dimension dimension, uint64_t min_size, uint64_t overlap, uint64_t border);
  // Copies share nothing: the track table is copied record by record.
  LabelFrame(const LabelFrame&) = default;
  LabelFrame& operator=(const LabelFrame&) = default;
  ~LabelFrame() = default;

  // Frame 0: fills the holes of `mask` slice by slice (in place), numbers its regions 1..n in
  // region order after dropping small and border regions, and opens a track per region.
  void LabelFromMask(voxa::Image3d<bool>& mask);
  // Gives a fresh label to every hole-filled region of `mask` (filled in place) that has at least
  // min_size voxels and meets no labelled voxel. Opens no track.
  void AddNewObjects(voxa::Image3d<bool>& mask);
  // Floods every region of at most overlap_volume voxels that touches another label with that
  // label. Does nothing when overlap_volume is 0.
  void MergeSmallFragments();
  // Frame i >= 1: erases small and border regions, continues the tracks of labels that stay one
  // region, opens tracks for new labels and for the children of divided ones, and fills the
  // holes of every kept region slice by slice with its label.
  void UpdateTracks(uint64_t i);
  // Writes the track table as the lineage file at `path` (replaced as a whole, never left half
  // written). Throws trel::Error naming the file and the cause when it cannot be written.
  void SaveTracks(const char* path) const;

  // Issues the next label. Throws trel::Error when all 65535 labels of the run are used, since
  // a wrapped counter would hand out labels of live tracks again.
  uint16_t IssueLabel();

  uint16_t last_label = 0;
  const voxa::Neighbourhood* label_nb;  // full connectivity: regions and flood fills
  const voxa::Neighbourhood* fill_nb;   // minimal connectivity: hole filling
  uint64_t min_size;
  uint64_t overlap_volume;
  std::map<uint16_t, TrackRecord> tracks;
  uint64_t border;
};

}  // namespace trel
