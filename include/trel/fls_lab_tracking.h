// Level-set segmentation and tracking of a whole sequence: frames in_folder/tNNN.tif (2D images
// when num_slices is 1, stacks of num_slices slices otherwise) become out_folder/maskNNN.tif,
// 16-bit images in which every cell carries its track label, and out_folder/res_track.txt, the
// lineage file (lines "label first_frame last_frame parent").
//   curv_weight  weight of the boundary smoothing (curvature) of the level sets
//   fg_weight    weight of the foreground (cell) region term
//   bg_weight    weight of the background region term in frame 0 and the initial segmentation
//   max_iter     iteration limit of every level-set evolution
//   min_size     smallest object kept, in voxels
//   overlap      fragments of at most overlap^2 (2D) or overlap^3 (3D) voxels that touch another
//                cell are merged into it; 0 switches merging off
//   border       objects whose bounding box lies within this many voxels of the left, right, top
//                or bottom image edge are discarded; 0 and 1 keep every object
//   bg_factor    factor of bg_weight in the multi-label evolution of frames 1 and later
// Every failure throws trel::Error; masks of the frames before the failing one stay written and
// the lineage file is not written.
#pragma once

#include <cstdint>

#include "trel/export.h"
#include "trel/progress.h"

namespace trel {

TREL_API void FlsLabTracking(const char* in_folder, const char* out_folder, uint64_t num_slices,
                             uint64_t num_frames, float curv_weight, float fg_weight,
                             float bg_weight, uint64_t max_iter, uint64_t min_size,
                             uint64_t overlap, uint64_t border, float bg_factor);

// The same, reporting progress after every saved frame.
TREL_API void FlsLabTracking(const char* in_folder, const char* out_folder, uint64_t num_slices,
                             uint64_t num_frames, float curv_weight, float fg_weight,
                             float bg_weight, uint64_t max_iter, uint64_t min_size,
                             uint64_t overlap, uint64_t border, float bg_factor,
                             const ProgressCallback& progress);

}  // namespace trel
