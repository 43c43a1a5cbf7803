// ChanVeseRoutine and the argument checks shared by the two Chan-Vese factories.
#include "levelset/chan_vese_routine.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "levelset/own_level_start.h"
#include "outlines/edge_level.h"
#include "outlines/local_contrast.h"
#include "voxa/exceptions.h"
#include "voxa/neck_split.h"

namespace voxa::fls {
template class Routine<int>;
}  // namespace voxa::fls

namespace voxa::algo {

ChanVeseRoutine::ChanVeseRoutine(std::string name, const Image3d<float>& speed,
                                 std::vector<unsigned short> start,
                                 const Image3d<bool>* mutable_mask,
                                 const ChanVeseSettings& settings,
                                 const std::optional<ChanVeseSettings>& own_levels)
    : name_(std::move(name)),
      speed_(speed),
      start_(std::move(start)),
      settings_(settings),
      own_levels_(own_levels) {
  if (mutable_mask) mutable_mask_.emplace(*mutable_mask);
}

ChanVeseRoutine::~ChanVeseRoutine() = default;

void ChanVeseRoutine::Initialize() {
  level_set_.reset();
  auto level_set = std::make_unique<TwoListLevelSet>(
      speed_, mutable_mask_ ? &*mutable_mask_ : nullptr, settings_);
  level_set->Start(start_.data());
  level_set_ = std::move(level_set);
}

size_t ChanVeseRoutine::IterateUntilConvergence(size_t max_iter) {
  Started("IterateUntilConvergence");
  const size_t iterations = level_set_->Evolve(max_iter);
  return own_levels_ ? iterations + EvolveOwnLevels(max_iter - iterations) : iterations;
}

size_t ChanVeseRoutine::EvolveOwnLevels(size_t max_iter) {
  Image3d<bool> found, start;
  const auto size = speed_.GetSize();
  found.MakeRoom(size[0], size[1], size[2]);
  start.MakeRoom(size[0], size[1], size[2]);
  level_set_->WriteMask(found.begin(), fls::ResultCreator::kForeground, false);
  std::transform(start_.begin(), start_.end(), start.begin(),
                 [](unsigned short l) { return l != 0; });
  const auto labels = OwnLevelStart(found, start);
  if (!labels) return 0;
  auto own = std::make_unique<TwoListLevelSet>(speed_, mutable_mask_ ? &*mutable_mask_ : nullptr,
                                               *own_levels_);
  own->Start(labels->data());
  // A lost piece that does not stand out of its surroundings as it is, such as haze around a
  // nucleus, is not given the chance to gather a level of its own.
  own->EraseFaintPieces();
  level_set_ = std::move(own);
  return level_set_->Evolve(max_iter);
}

void ChanVeseRoutine::Mask(bool* buffer, fls::ResultCreator::ResType type, bool invert) const {
  Started("Mask").WriteMask(buffer, type, invert);
}

void ChanVeseRoutine::Labels(unsigned short* buffer, bool only_foreground) const {
  Started("Labels").WriteLabels(buffer, only_foreground);
}

const TwoListLevelSet& ChanVeseRoutine::Started(const char* operation) const {
  if (!level_set_) throw InternalException(name_ + ": " + operation + " called before Initialize");
  return *level_set_;
}

namespace {
void CheckWeight(const char* routine, const char* name, float weight) {
  if (!std::isfinite(weight) || weight < 0)
    throw InternalException(std::string(routine) + ": " + name +
                            " must be a finite non-negative number, not " + std::to_string(weight));
}
}  // namespace

void CheckChanVeseSettings(const char* routine, const ChanVeseSettings& settings) {
  CheckWeight(routine, "curv_weight", settings.curv_weight);
  CheckWeight(routine, "fg_weight", settings.fg_weight);
  CheckWeight(routine, "bg_weight", settings.bg_weight);
  if (settings.smoothing_sweeps < 0)
    throw InternalException(std::string(routine) + ": count must not be negative, not " +
                            std::to_string(settings.smoothing_sweeps));
}

template <class T>
void CheckSameSize(const char* routine, const char* what, const Image3d<T>& image,
                   const Image3d<float>& speed) {
  if (image.GetSize() == speed.GetSize()) return;
  auto text = [](const Vector3d<uint64_t>& s) {
    return std::to_string(s[0]) + " x " + std::to_string(s[1]) + " x " + std::to_string(s[2]);
  };
  throw InternalException(std::string(routine) + ": the " + what + " is " + text(image.GetSize()) +
                          " voxels but the speed image " + text(speed.GetSize()));
}

ChanVeseSettings CommonChanVeseSettings(const Image3d<float>& speed, int count, float curv_weight,
                                        float fg_weight, float bg_weight, Parallelism parallelism) {
  ChanVeseSettings settings;
  settings.curv_weight = curv_weight;
  settings.fg_weight = fg_weight;
  settings.bg_weight = bg_weight;
  settings.smoothing_sweeps = count;
  settings.min_local_contrast = kMinLocalContrast;
  settings.neck_ratio = speed.GetSizeZ() > 1 ? kStackNeckRatio : kImageNeckRatio;
  settings.threads = std::max(1u, parallelism.threads);
  return settings;
}

ChanVeseSettings OwnLevelSettings(ChanVeseSettings common, const Image3d<float>& speed) {
  common.shared_mean = false;
  common.interface_band = speed.GetSizeZ() > 1 ? 0 : kInterfaceBand;
  common.join_seamless = true;
  common.edge_reach = kEdgeReach;
  return common;
}

template <class T>
fls::Routine<int>* MakeChanVeseRoutine(const char* routine, const char* what,
                                       const Image3d<float>& speed, const Image3d<T>& start,
                                       const Image3d<bool>* optional,
                                       const ChanVeseSettings& settings,
                                       const std::optional<ChanVeseSettings>& own_levels) {
  CheckChanVeseSettings(routine, settings);
  CheckSameSize(routine, what, start, speed);
  if (optional) CheckSameSize(routine, "mask of mutable voxels", *optional, speed);
  std::vector<unsigned short> labels(start.begin(), start.end());
  return new ChanVeseRoutine(routine, speed, std::move(labels), optional, settings, own_levels);
}

template fls::Routine<int>* MakeChanVeseRoutine(const char*, const char*, const Image3d<float>&,
                                                const Image3d<bool>&, const Image3d<bool>*,
                                                const ChanVeseSettings&,
                                                const std::optional<ChanVeseSettings>&);
template fls::Routine<int>* MakeChanVeseRoutine(const char*, const char*, const Image3d<float>&,
                                                const Image3d<unsigned short>&,
                                                const Image3d<bool>*, const ChanVeseSettings&,
                                                const std::optional<ChanVeseSettings>&);

template void CheckSameSize(const char*, const char*, const Image3d<bool>&, const Image3d<float>&);
template void CheckSameSize(const char*, const char*, const Image3d<unsigned short>&,
                            const Image3d<float>&);

}  // namespace voxa::algo
