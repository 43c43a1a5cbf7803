// Graph-cut segmentation and tracking of a whole sequence: frames in_folder/tNNN.tif (2D images
// when num_slices is 1, stacks otherwise) become out_folder/maskNNN.tif, 16-bit images in which
// every cell keeps its label from frame to frame. Frame 0 is cut by a two-phase Chan-Vese graph
// cut; later frames by a label-preserving graph cut started from the previous labels, so touching
// cells keep their identity. Anisotropic voxels are honoured through the voxel size of frame 0.
// No lineage file is written.
//   curv_weight  weight of the boundary length; both region weights are divided by it, so it
//                must be a finite positive number
//   fg_weight, bg_weight  weights of the cell and the background region terms
//   max_iter     iteration bound of the alternation between cut and mean update
//   min_size     smallest object kept, in voxels
//   overlap      fragments of at most overlap^2 (2D) or overlap^3 (3D) voxels that touch another
//                cell are merged into it; 0 switches merging off
// Every failure throws trel::Error; masks of the frames before the failing one stay written.
#pragma once

#include <cstdint>

#include "trel/export.h"
#include "trel/progress.h"

namespace trel {

TREL_API void KerfLabTracking(const char* in_folder, const char* out_folder, uint64_t num_slices,
                              uint64_t num_frames, float curv_weight, float fg_weight,
                              float bg_weight, uint64_t max_iter, uint64_t min_size,
                              uint64_t overlap);

// The same, reporting progress after every saved frame.
TREL_API void KerfLabTracking(const char* in_folder, const char* out_folder, uint64_t num_slices,
                              uint64_t num_frames, float curv_weight, float fg_weight,
                              float bg_weight, uint64_t max_iter, uint64_t min_size,
                              uint64_t overlap, const ProgressCallback& progress);

}  // namespace trel
