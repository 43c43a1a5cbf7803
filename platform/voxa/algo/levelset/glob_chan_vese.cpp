// GlobChanVeseRoutine: the two-phase Chan-Vese routine, run as the one-label case of the
// two-list level set (label 1 is the foreground).
#include <algorithm>
#include <vector>

#include "levelset/chan_vese_routine.h"
#include "outlines/local_contrast.h"
#include "voxa/fls.h"
#include "voxa/neck_split.h"

namespace voxa::fls {

Routine<int>* GlobChanVeseRoutine(const Image3d<float>& speed, const Image3d<bool>& init_mask,
                                  const Image3d<bool>* optional, bool fixed_means, int count,
                                  float curv_weight, float fg_weight, float bg_weight) {
  return GlobChanVeseRoutine(speed, init_mask, optional, fixed_means, count, curv_weight, fg_weight,
                             bg_weight, Parallelism{});
}

Routine<int>* GlobChanVeseRoutine(const Image3d<float>& speed, const Image3d<bool>& init_mask,
                                  const Image3d<bool>* optional, bool fixed_means, int count,
                                  float curv_weight, float fg_weight, float bg_weight,
                                  Parallelism parallelism) {
  constexpr const char* kName = "GlobChanVeseRoutine";
  algo::ChanVeseSettings settings;
  settings.curv_weight = curv_weight;
  settings.fg_weight = fg_weight;
  settings.bg_weight = bg_weight;
  settings.smoothing_sweeps = count;
  settings.fixed_means = fixed_means;
  settings.shared_mean = true;
  // Every object is label 1 here: one edge level would serve bright and dim nuclei alike and
  // shrink the dim ones, so the outlines stay where the evolution leaves them.
  settings.edge_reach = 0;
  settings.min_local_contrast = algo::kMinLocalContrast;
  settings.neck_ratio = speed.GetSizeZ() > 1 ? kStackNeckRatio : kImageNeckRatio;
  settings.threads = std::max(1u, parallelism.threads);
  algo::CheckChanVeseSettings(kName, settings);
  algo::CheckSameSize(kName, "start mask", init_mask, speed);
  if (optional) algo::CheckSameSize(kName, "mask of mutable voxels", *optional, speed);
  std::vector<unsigned short> start(init_mask.begin(), init_mask.end());
  return new algo::ChanVeseRoutine(kName, speed, std::move(start), optional, settings);
}

}  // namespace voxa::fls
