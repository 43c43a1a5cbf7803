// GlobChanVeseRoutine: the two-phase Chan-Vese routine, run as the one-label case of the
// two-list level set (label 1 is the foreground), then on with a level per object found
// (OwnLevelStart).
#include <optional>

#include "levelset/chan_vese_routine.h"
#include "voxa/fls.h"

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
  algo::ChanVeseSettings settings =
      algo::CommonChanVeseSettings(speed, count, curv_weight, fg_weight, bg_weight, parallelism);
  settings.fixed_means = fixed_means;
  settings.shared_mean = true;
  // Every object is label 1 here: one edge level would serve bright and dim nuclei alike and
  // shrink the dim ones, so the outlines stay where the evolution leaves them.
  settings.edge_reach = 0;
  // One foreground level loses dim objects beside bright ones; the evolution goes on with a level
  // per object (unless the means are fixed, which asks for the shared level alone).
  std::optional<algo::ChanVeseSettings> own_levels;
  if (!fixed_means) own_levels = algo::OwnLevelSettings(settings, speed);
  return algo::MakeChanVeseRoutine("GlobChanVeseRoutine", "start mask", speed, init_mask, optional,
                                   settings, own_levels);
}

}  // namespace voxa::fls
