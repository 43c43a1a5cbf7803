// LabGlobChanVeseRoutine: the multi-label Chan-Vese routine on the two-list level set; every
// label of the start image competes with the common background.
#include <algorithm>
#include <vector>

#include "levelset/chan_vese_routine.h"
#include "outlines/local_contrast.h"
#include "voxa/fls.h"
#include "voxa/neck_split.h"

namespace voxa::fls {

Routine<int>* LabGlobChanVeseRoutine(const Image3d<float>& speed,
                                     const Image3d<unsigned short>& labels,
                                     const Image3d<bool>* optional, int count, float curv_weight,
                                     float fg_weight, float bg_weight, bool shared_mean) {
  return LabGlobChanVeseRoutine(speed, labels, optional, count, curv_weight, fg_weight, bg_weight,
                                shared_mean, Parallelism{});
}

Routine<int>* LabGlobChanVeseRoutine(const Image3d<float>& speed,
                                     const Image3d<unsigned short>& labels,
                                     const Image3d<bool>* optional, int count, float curv_weight,
                                     float fg_weight, float bg_weight, bool shared_mean,
                                     Parallelism parallelism) {
  constexpr const char* kName = "LabGlobChanVeseRoutine";
  algo::ChanVeseSettings settings;
  settings.curv_weight = curv_weight;
  settings.fg_weight = fg_weight;
  settings.bg_weight = bg_weight;
  settings.smoothing_sweeps = count;
  settings.fixed_means = false;
  settings.shared_mean = shared_mean;
  settings.interface_band = speed.GetSizeZ() > 1 ? 0 : algo::kInterfaceBand;
  settings.join_seamless = true;
  settings.edge_reach = algo::kEdgeReach;
  settings.min_local_contrast = algo::kMinLocalContrast;
  settings.neck_ratio = speed.GetSizeZ() > 1 ? kStackNeckRatio : kImageNeckRatio;
  settings.threads = std::max(1u, parallelism.threads);
  algo::CheckChanVeseSettings(kName, settings);
  algo::CheckSameSize(kName, "label image", labels, speed);
  if (optional) algo::CheckSameSize(kName, "mask of mutable voxels", *optional, speed);
  std::vector<unsigned short> start(labels.begin(), labels.end());
  return new algo::ChanVeseRoutine(kName, speed, std::move(start), optional, settings);
}

}  // namespace voxa::fls
