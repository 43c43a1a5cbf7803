// The level-set tracking driver: frame 0 is segmented by a two-phase level set started from a
// quick initial segmentation; every later frame by a multi-label level set started from the
// previous frame's labels plus the objects that newly appeared. The label frame cleans and
// associates the result and keeps the track table, written as the lineage file at the end.
// A frame's preparation (reading, smoothing, initial segmentation, speed image) does not depend
// on the labels, so with more than one thread the next frame is prepared while this one evolves.
#include "trel/fls_lab_tracking.h"

#include <future>
#include <memory>
#include <utility>

#include "foundation/frame_sequence.h"
#include "foundation/frame_size.h"
#include "foundation/frame_step.h"
#include "labelframe/label_frame.h"
#include "levelset/background_work.h"
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
  voxa::Parallelism parallelism;
};

// A frame with what the segmentation starts from: the smoothed frame, its initial segmentation
// and its speed image.
struct PreparedFrame {
  voxa::Image3d<unsigned short> frame;
  voxa::Image3d<bool> mask;
  voxa::Image3d<float> speed;
};

void Prepare(const Frames& sequence, uint64_t i, const LevelSetParameters& p, PreparedFrame& f) {
  sequence.LoadFrame(f.frame, i);
  voxa::GrayGaussIIR(f.frame, kPreSmoothing, voxa::Parallelism{p.threads});
  float fg_mean = 0, bg_mean = 0;
  voxa::GibouFedkiw(f.frame, f.mask, p.fg_weight, p.bg_weight, fg_mean, bg_mean,
                    kInitialIterations);
  voxa::fls::RegionSpeedImage(f.frame, f.speed);
}

void SegmentFirstFrame(const voxa::Image3d<float>& speed, voxa::Image3d<bool>& mask,
                       LabelFrame& labels, const Weights& w) {
  std::unique_ptr<voxa::fls::Routine<int>> routine(voxa::fls::GlobChanVeseRoutine(
      speed, mask, nullptr, false, kSmoothingSubSteps, w.curv, w.fg, w.bg, w.parallelism));
  routine->Initialize();
  routine->IterateUntilConvergence(w.max_iter);
  routine->Mask(mask.begin(), kForeground, false);
  routine.reset();
  labels.LabelFromMask(mask);
}

void SegmentLaterFrame(const voxa::Image3d<float>& speed, voxa::Image3d<bool>& mask,
                       LabelFrame& labels, const Weights& w, uint64_t i) {
  labels.AddNewObjects(mask);
  std::unique_ptr<voxa::fls::Routine<int>> routine(
      voxa::fls::LabGlobChanVeseRoutine(speed, labels, nullptr, kSmoothingSubSteps, w.curv, w.fg,
                                        w.bg_factor * w.bg, false, w.parallelism));
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
  LabelFrame labels(DimensionOf(num_slices), p.min_size, p.overlap, p.border);
  const Weights w{p.curv_weight, p.fg_weight, p.bg_weight,
                  p.bg_factor,   p.max_iter,  voxa::Parallelism{p.threads}};
  const bool overlap = p.threads > 1;
  sequence.ForgetEarlierLineage();

  // The futures are declared after the buffers they fill or read, so that on any way out they
  // are waited for before the buffers go.
  PreparedFrame current, next;
  voxa::Image3d<unsigned short> written;
  std::future<void> preparing, writing;
  for (uint64_t i = 0; i < num_frames; ++i) {
    RunFrameStep(
        i, "Analysis",
        [&] {
          if (preparing.valid()) {
            preparing.get();
            std::swap(current, next);
          } else {
            Prepare(sequence, i, p, current);
          }
          if (overlap && i + 1 < num_frames)
            preparing = InBackground([&, i] { Prepare(sequence, i + 1, p, next); });
          if (i > 0) CheckFrameSize(current.frame, labels, i);
          if (i == 0)
            SegmentFirstFrame(current.speed, current.mask, labels, w);
          else
            SegmentLaterFrame(current.speed, current.mask, labels, w, i);
          if (!overlap) sequence.SaveFrame(labels, i, "mask");
        },
        DescribeImageLibraryFailure);
    if (overlap) {
      if (writing.valid()) writing.get();
      written = labels;
      writing = InBackground([&, i] {
        RunFrameStep(
            i, "Analysis", [&] { sequence.SaveFrame(written, i, "mask"); },
            DescribeImageLibraryFailure);
      });
    }
    if (progress) progress(i, num_frames);
  }
  if (writing.valid()) writing.get();
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
