// ChanVeseRoutine: the Routine<int> behind both Chan-Vese factories. It keeps the start labels
// and the settings, builds the two-list level set on Initialize and answers Mask and Labels from
// it; a two-phase start is the one-label case of a multi-label one. Given settings for an
// own-level pass, it continues each evolution with one from OwnLevelStart.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "levelset/two_list_level_set.h"
#include "voxa/fls.h"
#include "voxa/image3d.h"

namespace voxa::algo {

class ChanVeseRoutine final : public fls::Routine<int> {
 public:
  // `name` prefixes the messages of the routine's failures. `start` holds one label per voxel
  // of `speed`; `mutable_mask` (may be null) is copied. With `own_levels`, every evolution goes
  // on with a pass of those settings from the objects it found and the start's pieces it lost.
  ChanVeseRoutine(std::string name, const Image3d<float>& speed, std::vector<unsigned short> start,
                  const Image3d<bool>* mutable_mask, const ChanVeseSettings& settings,
                  const std::optional<ChanVeseSettings>& own_levels);
  ~ChanVeseRoutine() override;

  void Initialize() override;
  size_t IterateUntilConvergence(size_t max_iter) override;
  void Mask(bool* buffer, fls::ResultCreator::ResType type, bool invert) const override;
  void Labels(unsigned short* buffer, bool only_foreground) const override;

 private:
  const TwoListLevelSet& Started(const char* operation) const;
  // The own-level pass of up to max_iter iterations; returns how many ran (none when
  // OwnLevelStart gives no start).
  size_t EvolveOwnLevels(size_t max_iter);

  std::string name_;
  const Image3d<float>& speed_;
  std::vector<unsigned short> start_;
  std::optional<Image3d<bool>> mutable_mask_;
  ChanVeseSettings settings_;
  std::optional<ChanVeseSettings> own_levels_;
  std::unique_ptr<TwoListLevelSet> level_set_;
};

// Throws InternalException naming `routine` unless the weights are finite and non-negative and
// count is not negative.
void CheckChanVeseSettings(const char* routine, const ChanVeseSettings& settings);

// The settings both factories share: the weights, the smoothing sweeps, the neck ratio of the
// speed image's dimension, the local-contrast test and the threads.
ChanVeseSettings CommonChanVeseSettings(const Image3d<float>& speed, int count, float curv_weight,
                                        float fg_weight, float bg_weight, Parallelism parallelism);

// The multi-label settings on top of `common`: a level per label, and the steps that part,
// join and outline labels by the seams and edges between them (interfaces only in images).
ChanVeseSettings OwnLevelSettings(ChanVeseSettings common, const Image3d<float>& speed);

// Checks the settings and the sizes of `start` (`what` names it) and of the optional mask of
// mutable voxels, then builds the routine named `routine` starting from `start`, with an
// own-level pass when `own_levels` is given.
template <class T>
fls::Routine<int>* MakeChanVeseRoutine(const char* routine, const char* what,
                                       const Image3d<float>& speed, const Image3d<T>& start,
                                       const Image3d<bool>* optional,
                                       const ChanVeseSettings& settings,
                                       const std::optional<ChanVeseSettings>& own_levels = {});

// Throws InternalException naming `routine` and `what` unless `image` has the sizes of `speed`.
template <class T>
void CheckSameSize(const char* routine, const char* what, const Image3d<T>& image,
                   const Image3d<float>& speed);

}  // namespace voxa::algo
