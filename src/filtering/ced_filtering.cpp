// CEDFiltering: load, diffuse and save every frame of a sequence, one after another. Each frame's
// work runs in one handler that names the frame in every failure that is not already a
// trel::Error.
#include "trel/ced_filtering.h"

#include "filtering/ced_filter_frames.h"
#include "foundation/frame_sequence.h"
#include "foundation/frame_step.h"
#include "voxa/filters.h"

namespace trel {

template <class T>
void CedFilterFrames(const Frames& sequence, uint64_t num_frames, T ced_param1, T ced_param2,
                     T ced_param3, uint64_t ced_steps, const ProgressCallback& progress,
                     unsigned threads) {
  voxa::Image3d<unsigned short> image;
  for (uint64_t i = 0; i < num_frames; ++i) {
    RunFrameStep(
        i, "Filtering",
        [&] {
          sequence.LoadFrame(image, i);
          voxa::GrayCED_AOS<T>(image, ced_param1, ced_param2, ced_param3, ced_steps,
                               voxa::Parallelism{threads});
          sequence.SaveFrame(image, i, "t");
        },
        DescribeImageLibraryFailure);
    if (progress) progress(i, num_frames);
  }
}

template void CedFilterFrames<float>(const Frames&, uint64_t, float, float, float, uint64_t,
                                     const ProgressCallback&, unsigned);
template void CedFilterFrames<double>(const Frames&, uint64_t, double, double, double, uint64_t,
                                      const ProgressCallback&, unsigned);

template <class T>
void CEDFiltering(const char* in_folder, const char* out_folder, uint64_t num_slices,
                  uint64_t num_frames, T ced_param1, T ced_param2, T ced_param3, uint64_t ced_steps,
                  const ProgressCallback& progress) {
  const FrameSequence sequence{in_folder, out_folder, num_slices, num_frames};
  CedFilterFrames<T>(sequence, num_frames, ced_param1, ced_param2, ced_param3, ced_steps, progress);
}

template <class T>
void CEDFiltering(const char* in_folder, const char* out_folder, uint64_t num_slices,
                  uint64_t num_frames, T ced_param1, T ced_param2, T ced_param3,
                  uint64_t ced_steps) {
  CEDFiltering<T>(in_folder, out_folder, num_slices, num_frames, ced_param1, ced_param2, ced_param3,
                  ced_steps, ProgressCallback());
}

template TREL_API void CEDFiltering<float>(const char*, const char*, uint64_t, uint64_t, float,
                                           float, float, uint64_t);
template TREL_API void CEDFiltering<double>(const char*, const char*, uint64_t, uint64_t, double,
                                            double, double, uint64_t);
template TREL_API void CEDFiltering<float>(const char*, const char*, uint64_t, uint64_t, float,
                                           float, float, uint64_t, const ProgressCallback&);
template TREL_API void CEDFiltering<double>(const char*, const char*, uint64_t, uint64_t, double,
                                            double, double, uint64_t, const ProgressCallback&);

}  // namespace trel
