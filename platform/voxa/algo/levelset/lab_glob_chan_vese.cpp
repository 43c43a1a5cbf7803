// LabGlobChanVeseRoutine: the multi-label Chan-Vese routine on the two-list level set; every
// label of the start image competes with the common background.
#include "levelset/chan_vese_routine.h"
#include "voxa/fls.h"

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
  algo::ChanVeseSettings settings = algo::OwnLevelSettings(
      algo::CommonChanVeseSettings(speed, count, curv_weight, fg_weight, bg_weight, parallelism),
      speed);
  settings.fixed_means = false;
  settings.shared_mean = shared_mean;
  return algo::MakeChanVeseRoutine("LabGlobChanVeseRoutine", "label image", speed, labels, optional,
                                   settings);
}

}  // namespace voxa::fls
