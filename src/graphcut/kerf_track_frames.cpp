#include "graphcut/kerf_track_frames.h"

#include <cstring>

#include "foundation/frame_size.h"
#include "foundation/frame_step.h"
#include "kerf/array.h"
#include "kerf/chan_vese.h"
#include "kerf/exceptions.h"
#include "kerf/image.h"
#include "kerf/kohli.h"
#include "kerf/neighbourhood.h"
#include "kerf/stop_watch.h"
#include "kerf/tavrin_labels.h"
#include "trel/error.h"
#include "voxa/gibou_fedkiw.h"
#include "voxa/gray_to_float.h"

namespace trel {

namespace {

constexpr size_t kInitialIterations = 30;  // iterations of the initial segmentation
constexpr float kTolerance = 0.001f;       // change of the means that ends the alternation
constexpr size_t kNeighbours2D = 8;        // axis and diagonal neighbours in the plane
constexpr size_t kNeighbours3D = 6;        // face neighbours in space

template <size_t N>
using GridImage = Kerf::Data::Image<N, float, float>;
template <size_t N>
using TwoPhaseSolver = Kerf::Flow::Grid::Kohli<N, float, float, float, 0>;
template <size_t N>
using LabelSolver = Kerf::Flow::Grid::TavrinLabels<N, float, float, float, unsigned short, 0>;

// The per-run state: frame 0 fixes the grid (size and spacing) for every later frame.
template <size_t N>
struct Grid {
  voxa::Image3d<unsigned short> grey;
  voxa::Image3d<float> real;
  voxa::Image3d<bool> mask;
  GridImage<N> image;
  Kerf::System::Collection::Array<N, bool> segmentation;
  Kerf::System::Collection::Array<N, unsigned short> labels;
  Kerf::Energy::Neighbourhood<N, int> nb;
  uint64_t voxels = 0;
  float fg_mean = 0, bg_mean = 0;

  // The axis with the smallest resolution value gets spacing 1; the others proportionally less.
  void SetUp() {
    voxels = grey.GetImageSize();
    const voxa::Vector3d<float> r = grey.GetResolution().GetRes();
    float m = r[0];
    for (size_t k = 1; k < N; ++k)
      if (r[k] < m) m = r[k];
    Kerf::Math::Algebra::Vector<N, float> spacing;
    Kerf::Math::Algebra::Vector<N, size_t> dims;
    const uint64_t sizes[3] = {grey.GetSizeX(), grey.GetSizeY(), grey.GetSizeZ()};
    for (size_t k = 0; k < N; ++k) {
      spacing[k] = m / r[k];
      dims[k] = sizes[k];
    }
    image.SetSpacing(spacing);
    image.Resize(dims);
    labels.Resize(dims);
  }
};

template <size_t N>
void CutFirstFrame(Grid<N>& g, LabelFrame& frame, float fg_lambda, float bg_lambda,
                   size_t& max_iter) {
  TwoPhaseSolver<N> solver;
  Kerf::Algo::Segmentation::ChanVese::Compute<N, float>(g.image, bg_lambda, fg_lambda, g.bg_mean,
                                                        g.fg_mean, kTolerance, max_iter, g.nb,
                                                        solver, g.segmentation);
  static_assert(sizeof(bool) == 1, "the cut is copied bytewise into the mask");
  std::memcpy(g.mask.begin(), g.segmentation.Data(), g.segmentation.Elems());
  frame.LabelFromMask(g.mask);
}

template <size_t N>
void CutLaterFrame(Grid<N>& g, LabelFrame& frame, float fg_lambda, float bg_lambda,
                   size_t& max_iter) {
  frame.AddNewObjects(g.mask);
  std::memcpy(g.labels.Data(), frame.begin(), g.voxels * sizeof(unsigned short));
  LabelSolver<N> solver;
  solver.SetInitialLabelingRef(g.labels);
  Kerf::Algo::Segmentation::ChanVese::Compute<N, float>(g.image, bg_lambda, fg_lambda, g.bg_mean,
                                                        g.fg_mean, kTolerance, max_iter, g.nb,
                                                        solver, g.segmentation);
  unsigned short* out = frame.begin();
  for (size_t j = 0; j < g.labels.Elems(); ++j) out[j] = solver.NodeLabel(j);
  frame.MergeSmallFragments();
}

template <size_t N>
void TrackFrame(Grid<N>& g, const Frames& sequence, LabelFrame& frame, uint64_t i, float fg_lambda,
                float bg_lambda, size_t& max_iter) {
  sequence.LoadFrame(g.grey, i);
  if (i == 0)
    g.SetUp();
  else
    CheckFrameSize(g.grey, frame, i);
  voxa::GrayToFloatNormalized(g.grey, g.real);
  std::memcpy(g.image.Data(), g.real.begin(), g.voxels * sizeof(float));
  voxa::GibouFedkiw(g.real, g.mask, fg_lambda, bg_lambda, g.fg_mean, g.bg_mean, kInitialIterations);
  if (i == 0)
    CutFirstFrame(g, frame, fg_lambda, bg_lambda, max_iter);
  else
    CutLaterFrame(g, frame, fg_lambda, bg_lambda, max_iter);
  sequence.SaveFrame(frame, i, "mask");
}

std::string DescribeGraphCutFailure(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const Kerf::Math::ConvergenceException&) {
    return "Kerf::Math::ConvergenceException caught";
  } catch (const Kerf::System::Exception& e) {
    return std::string("Kerf::System::Exception: ") + e.what();
  } catch (...) {
    return "Unknown exception caught";
  }
}

}  // namespace

template <size_t N>
void KerfTrackFrames(const Frames& sequence, LabelFrame& frame, uint64_t count, float fg_lambda,
                     float bg_lambda, uint64_t max_iter, const ProgressCallback& progress) {
  Grid<N> g;
  g.nb.Common(N == 2 ? kNeighbours2D : kNeighbours3D, false);
  Kerf::System::Time::StopWatch::ms_is_enabled = false;
  size_t iterations = max_iter;  // handed to every cut; whatever it holds carries over
  for (uint64_t i = 0; i < count; ++i) {
    RunFrameStep(
        i, "Analysis", [&] { TrackFrame(g, sequence, frame, i, fg_lambda, bg_lambda, iterations); },
        DescribeGraphCutFailure);
    if (progress) progress(i, count);
  }
}

template void KerfTrackFrames<2>(const Frames&, LabelFrame&, uint64_t, float, float, uint64_t,
                                 const ProgressCallback&);
template void KerfTrackFrames<3>(const Frames&, LabelFrame&, uint64_t, float, float, uint64_t,
                                 const ProgressCallback&);

}  // namespace trel
