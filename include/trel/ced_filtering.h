// Coherence-enhancing diffusion filtering of a whole time-lapse sequence: every frame
// in_folder/tNNN.tif (8- or 16-bit, 2D or a stack of num_slices slices) is filtered and written
// as a 16-bit out_folder/tNNN.tif, so that the filtered folder can be tracked like the original.
//   ced_param1  noise scale sigma of the pre-smoothing, in voxels (e.g. 1)
//   ced_param2  integration scale rho of the structure tensor, in voxels (e.g. 4)
//   ced_param3  time step tau (e.g. 1; longer steps are split into stable sub-steps)
//   ced_steps   number of time steps (e.g. 10; the diffusion time is ced_steps * ced_param3)
// Frames are handled one after another; a failure throws trel::Error and leaves the frames
// before it written.
#pragma once

#include <cstdint>

#include "trel/export.h"
#include "trel/progress.h"

namespace trel {

template <class T>
void CEDFiltering(const char* in_folder, const char* out_folder, uint64_t num_slices,
                  uint64_t num_frames, T ced_param1, T ced_param2, T ced_param3,
                  uint64_t ced_steps);

// The same, reporting progress after every saved frame.
template <class T>
void CEDFiltering(const char* in_folder, const char* out_folder, uint64_t num_slices,
                  uint64_t num_frames, T ced_param1, T ced_param2, T ced_param3, uint64_t ced_steps,
                  const ProgressCallback& progress);

extern template TREL_API void CEDFiltering<float>(const char*, const char*, uint64_t, uint64_t,
                                                  float, float, float, uint64_t);
extern template TREL_API void CEDFiltering<double>(const char*, const char*, uint64_t, uint64_t,
                                                   double, double, double, uint64_t);
extern template TREL_API void CEDFiltering<float>(const char*, const char*, uint64_t, uint64_t,
                                                  float, float, float, uint64_t,
                                                  const ProgressCallback&);
extern template TREL_API void CEDFiltering<double>(const char*, const char*, uint64_t, uint64_t,
                                                   double, double, double, uint64_t,
                                                   const ProgressCallback&);

}  // namespace trel
