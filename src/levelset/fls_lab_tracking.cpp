// The level-set tracking driver: frame 0 is segmented by a two-phase level set started from a
// quick initial segmentation; every later frame by a multi-label level set started from the
// previous frame's labels plus the objects that newly appeared. The label frame cleans and
// associates the result and keeps the track table, written as the lineage file at the end.
#include "trel/fls_lab_tracking.h"

#include <memory>

#include "foundation/frame_sequence.h"
#include "foundation/frame_size.h"
#include "foundation/frame_step.h"
#include "labelframe/label_frame.h"
#include "levelset/fls_track_frames.h"
#include "levelset/track_file.h"
#include "trel/error.h"
#include "voxa/filters.h"
#include "voxa/fls.h"
#include "voxa/gibou_fedkiw.h"

namespace trel {

namespace {

constexpr double kPreSmoothing = 1.0;      // sigma of the Gaussian before segmentation
constexpr size_t kInitialIterations = 30;  // iterations of the initial segmentation
constexpr int kSmoothingSubSteps = 2;      // sub-steps of each smoothing cycle
constexpr auto kForeground = voxa::fls::ResultCreator::kForeground;

struct Weights {
  float curv, fg, bg, bg_factor;
  uint64_t max_iter;
};

void SegmentFirstFrame(const voxa::Image3d<float>& speed, voxa::Image3d<bool>& mask,
                       LabelFrame& labels, const Weights& w) {
  std::unique_ptr<voxa::fls::Routine<int>> routine(voxa::fls::GlobChanVeseRoutine(
      speed, mask, nullptr, false, kSmoothingSubSteps, w.curv, w.fg, w.bg));
  routine->Initialize();
  routine->IterateUntilConvergence(w.max_iter);
  routine->Mask(mask.begin(), kForeground, false);
  routine.reset();
  labels.LabelFromMask(mask);
}

void SegmentLaterFrame(const voxa::Image3d<float>& speed, voxa::Image3d<bool>& mask,
                       LabelFrame& labels, const Weights& w, uint64_t i) {
  labels.AddNewObjects(mask);
  std::unique_ptr<voxa::fls::Routine<int>> routine(voxa::fls::LabGlobChanVeseRoutine(
      speed, labels, nullptr, kSmoothingSubSteps, w.curv, w.fg, w.bg_factor * w.bg, false));
  routine->Initialize();
  routine->IterateUntilConvergence(w.max_iter);
  routine->Labels(labels.begin(), false);
  routine.reset();
  labels.MergeSmallFragments();
  labels.UpdateTracks(i);
}

}  // namespace

void FlsTrackFrames(const Frames& sequence, uint64_t num_slices, uint64_t num_frames,
                    const LevelSetParameters& p, const ProgressCallback& progress) {
  voxa::Image3d<unsigned short> frame;
  voxa::Image3d<bool> mask;
  voxa::Image3d<float> speed;
  LabelFrame labels(DimensionOf(num_slices), p.min_size, p.overlap, p.border);
  const Weights w{p.curv_weight, p.fg_weight, p.bg_weight, p.bg_factor, p.max_iter};
  sequence.ForgetEarlierLineage();

  for (uint64_t i = 0; i < num_frames; ++i) {
    RunFrameStep(
        i, "Analysis",
        [&] {
          sequence.LoadFrame(frame, i);
          if (i > 0) CheckFrameSize(frame, labels, i);
          voxa::GrayGaussIIR(frame, kPreSmoothing, voxa::Parallelism{p.threads});
          float fg_mean = 0, bg_mean = 0;
          voxa::GibouFedkiw(frame, mask, p.fg_weight, p.bg_weight, fg_mean, bg_mean,
                            kInitialIterations);
          voxa::fls::RegionSpeedImage(frame, speed);
          if (i == 0)
            SegmentFirstFrame(speed, mask, labels, w);
          else
            SegmentLaterFrame(speed, mask, labels, w, i);
          sequence.SaveFrame(labels, i, "mask");
        },
        DescribeImageLibraryFailure);
    if (progress) progress(i, num_frames);
  }
  sequence.SaveLineage(labels.tracks);
}

void FlsLabTracking(const char* in_folder, const char* out_folder, uint64_t num_slices,
                    uint64_t num_frames, float curv_weight, float fg_weight, float bg_weight,
                    uint64_t max_iter, uint64_t min_size, uint64_t overlap, uint64_t border,
                    float bg_factor, const ProgressCallback& progress) {
  const FrameSequence sequence{in_folder, out_folder, num_slices, num_frames};
  FlsTrackFrames(
      sequence, num_slices, num_frames,
      {curv_weight, fg_weight, bg_weight, max_iter, min_size, overlap, border, bg_factor},
      progress);
}

void FlsLabTracking(const char* in_folder, const char* out_folder, uint64_t num_slices,
                    uint64_t num_frames, float curv_weight, float fg_weight, float bg_weight,
                    uint64_t max_iter, uint64_t min_size, uint64_t overlap, uint64_t border,
                    float bg_factor) {
  FlsLabTracking(in_folder, out_folder, num_slices, num_frames, curv_weight, fg_weight, bg_weight,
                 max_iter, min_size, overlap, border, bg_factor, ProgressCallback());
}

}  // namespace trel
