// TwoListLevelSet: the sweeps, list clean-ups and switches of the two-list scheme, and the
// Chan-Vese force with its discrete curvature term.
#include "levelset/two_list_level_set.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "intensity/robust_spread.h"
#include "outlines/edge_level.h"
#include "outlines/interface_watershed.h"
#include "outlines/local_contrast.h"
#include "outlines/neck_cut.h"
#include "outlines/seam_join.h"
#include "parallel_for.h"
#include "voxa/exceptions.h"

namespace voxa::algo {

namespace {

// Sweeps of the region force per field cycle (Shi and Karl's N_a); a boundary moves at most one
// voxel per sweep, so this is how far it may travel between two smoothing cycles.
constexpr int kFieldSweeps = 5;
// End-of-iteration states remembered to recognise a boundary that only oscillates.
constexpr size_t kRecentStates = 4;
// A label's own mean must lie at least this share of the mean foreground contrast, and this
// many standard deviations of the background, above the background mean; a label below that
// is taken for background.
constexpr float kMinLabelContrast = 0.1f;
constexpr float kMinLabelNoiseMultiple = 1.0f;
// A label stands clear of the noise when its mean lies this many standard deviations of the
// background above the background mean: only then is it cut at its necks, and only such labels
// set the level that no label is held above.
constexpr float kMinCutContrast = 4.0f;
constexpr size_t kLabelCount = 65536;
// The curvature term is the share of the neighbourhood inside the region less one half: the
// same value whichever side the voxel is on, so that a voxel's preferred side depends on its
// surroundings only and a lone voxel cannot flip back and forth within one sweep. A flat
// boundary (a share of 3/8 outside and 5/8 inside in a plane) thus resists motion slightly.
constexpr float kHalf = 0.5f;
// The data pull on every voxel of a label no brighter than the background: out.
constexpr float kNoContrastPull = 1.0f;

uint64_t Mix(uint64_t x) {  // splitmix64's finaliser
  x += 0x9e3779b97f4a7c15ull;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
  return x ^ (x >> 31);
}

uint64_t VoxelKey(size_t p, unsigned short label) {
  return Mix((uint64_t(p) << 16) | label);
}

}  // namespace

TwoListLevelSet::TwoListLevelSet(const Image3d<float>& speed, const Image3d<bool>* mutable_mask,
                                 const ChanVeseSettings& settings)
    : speed_(speed),
      mutable_mask_(mutable_mask),
      settings_(settings),
      grid_(speed.GetSizeX(), speed.GetSizeY(), speed.GetSizeZ()),
      face_(grid_.Offsets(grid_.FaceNeighbourhood())),
      full_(grid_.Offsets(grid_.FullNeighbourhood())),
      row_length_(grid_.RowLength()),
      rows_(grid_.Rows()),
      slabs_(std::max<size_t>(1, rows_ / kSlabRows)) {}

void TwoListLevelSet::Start(const unsigned short* labels) {
  const size_t padded = grid_.PaddedCount();
  value_.assign(padded, 0.0f);
  label_.assign(padded, 0);
  state_.assign(padded, kPadding);
  sum_.assign(kLabelCount, 0.0);
  count_.assign(kLabelCount, 0);
  fg_sum_ = 0;
  fg_count_ = 0;
  background_squares_ = 0;
  top_label_ = 0;
  hash_ = 0;
  means_frozen_ = false;
  means_stale_ = true;
  const float* speed = speed_.begin();
  const bool* mutable_mask = mutable_mask_ ? mutable_mask_->begin() : nullptr;
  grid_.ForEachVoxel([&](size_t i, size_t p) {
    value_[p] = speed[i];
    label_[p] = labels[i];
    state_[p] = (mutable_mask && !mutable_mask[i]) ? kFrozen : 0;
    Account(labels[i], speed[i], +1);
    top_label_ = std::max<size_t>(top_label_, labels[i]);
    if (labels[i]) hash_ ^= VoxelKey(p, labels[i]);
  });
  ParallelJobs(static_cast<ptrdiff_t>(slabs_.size()), settings_.threads, [&](ptrdiff_t k) {
    Slab& slab = slabs_[static_cast<size_t>(k)];
    slab = Slab{};
    const size_t first = static_cast<size_t>(k) * kSlabRows;
    const size_t last = &slab == &slabs_.back() ? rows_ : first + kSlabRows;
    for (size_t z = 0; z < grid_.Slices(); ++z)
      for (size_t p = (z * rows_ + first) * row_length_, end = p + (last - first) * row_length_;
           p < end; ++p) {
        if (state_[p] & kPadding) continue;
        const bool labelled = label_[p] != 0;
        const bool boundary = IsBoundary(p, labelled);
        if (labelled) {
          SetSide(p, boundary ? kInner : kInterior);
          if (boundary) slab.inner.push_back(p);
        } else {
          SetSide(p, boundary ? kOuter : kExterior);
          if (boundary) slab.outer.push_back(p);
        }
      }
  });
  means_frozen_ = settings_.fixed_means;
  std::vector<float> values(speed_.begin(), speed_.end());
  image_spread_ = RobustSpread(values);
  RefreshMeans();
}

size_t TwoListLevelSet::Evolve(size_t max_iter) {
  std::array<uint64_t, kRecentStates> recent{};
  size_t recent_count = 0;
  size_t iter = 0;
  while (iter < max_iter) {
    size_t moved = 0;
    for (int s = 0; s < kFieldSweeps; ++s) {
      const size_t m = Sweep(true);
      moved += m;
      if (m == 0) break;
    }
    if (settings_.curv_weight > 0)
      for (int s = 0; s < settings_.smoothing_sweeps; ++s) {
        const size_t m = Sweep(false);
        moved += m;
        if (m == 0) break;
      }
    ++iter;
    const size_t fresh = SettleIteration();
    if (moved == 0) break;
    // Only voxels that have already gone back and forth changed side: the boundary flickers in
    // the noise without getting anywhere.
    if (fresh == 0) break;
    const size_t seen = std::min(recent_count, kRecentStates);
    if (std::find(recent.begin(), recent.begin() + seen, hash_) != recent.begin() + seen) break;
    recent[recent_count++ % kRecentStates] = hash_;
  }
  RelocateInterfaces();
  JoinSeamlessLabels();
  MoveOutlinesToEdges();
  CutNecks();
  EraseFaintPieces();
  return iter;
}

void TwoListLevelSet::EraseFaintPieces() {
  if (mutable_mask_ != nullptr || settings_.min_local_contrast <= 0) return;
  const LocalContrast local(grid_, kLocalRingFrom, kLocalRingTo, settings_.threads);
  std::vector<std::pair<size_t, unsigned short>> changes;
  const std::vector<float> values = JudgedValues(speed_, grid_, settings_.threads);
  for (const size_t p : local.FaintVoxels(label_, values, settings_.min_local_contrast,
                                          LocalContrast::Faint::kWhole))
    changes.emplace_back(p, 0);
  Apply(changes);
}

void TwoListLevelSet::RelocateInterfaces() {
  // The flood would have to stop at frozen voxels and could then leave two labels touching:
  // with a mask of mutable voxels the lines stay where the evolution leaves them.
  if (mutable_mask_ != nullptr || settings_.interface_band == 0) return;
  const InterfaceWatershed watershed(grid_, settings_.interface_band, kDistinctLabels);
  Apply(watershed.Relabel(label_, value_, OwnMeans()));
}

void TwoListLevelSet::JoinSeamlessLabels() {
  if (mutable_mask_ != nullptr || !settings_.join_seamless) return;
  const NeckCut neck_cut(grid_, settings_.neck_ratio);
  const std::vector<uint8_t> cuttable = Cuttable();  // refreshes the noise level too
  Apply(SeamJoin(grid_, &neck_cut)
            .Relabel(label_, value_, OwnMeans(), background_mean_, background_noise_, cuttable));
}

void TwoListLevelSet::MoveOutlinesToEdges() {
  if (mutable_mask_ != nullptr || settings_.edge_reach == 0) return;
  const EdgeLevel edge_level(grid_, settings_.edge_reach, kEdgeRingFrom, kEdgeLevel);
  if (means_stale_) RefreshMeans();
  Apply(edge_level.Relabel(label_, value_, kMinEdgeNoiseMultiple * background_noise_));
}

void TwoListLevelSet::Apply(const std::vector<std::pair<size_t, unsigned short>>& changes) {
  for (const auto& [p, label] : changes) {
    Slab& slab = SlabOf(p);
    if (label_[p] == 0) {
      SwitchIn(slab, p, label);
    } else if (label == 0) {
      SwitchOut(slab, p);
    } else {
      Relabel(slab, p, label);
    }
  }
  Merge();
  CleanLists(true);
  CleanLists(false);
}

void TwoListLevelSet::CutNecks() {
  if (settings_.neck_ratio <= 0) return;
  const NeckCut neck_cut(grid_, settings_.neck_ratio);
  for (const size_t p : neck_cut.Find(label_, Cuttable()))
    if (!(state_[p] & kFrozen)) SwitchOut(SlabOf(p), p);
  Merge();
  CleanLists(true);
  CleanLists(false);
}

std::vector<float> TwoListLevelSet::OwnMeans() const {
  // The region sums the evolution keeps give every label's mean without another pass.
  std::vector<float> mean(kLabelCount, 0.0f);
  for (size_t l = 1; l <= top_label_; ++l)
    if (count_[l] != 0) mean[l] = static_cast<float>(sum_[l] / double(count_[l]));
  return mean;
}

std::vector<uint8_t> TwoListLevelSet::Cuttable() {
  if (means_stale_) RefreshMeans();
  // The outline of a label barely above the noise is ragged with noise, and its notches would
  // pass for necks: such labels are not cut. The outline lies halfway to the level the evolution
  // holds the label to, which therefore decides, not a bright core inside it.
  std::vector<uint8_t> cuttable(kLabelCount, 0);
  for (size_t l = 1; l <= top_label_; ++l)
    cuttable[l] = count_[l] > 0 && LabelMean(static_cast<unsigned short>(l)) - background_mean_ >
                                       kMinCutContrast * background_noise_;
  return cuttable;
}

bool TwoListLevelSet::IsBoundary(size_t p, bool labelled) const {
  for (const ptrdiff_t o : face_)
    if ((label_[p + o] != 0) != labelled) return true;
  return false;
}

void TwoListLevelSet::RefreshMeans() {
  means_stale_ = false;
  const bool has_fg = fg_count_ > 0, has_bg = count_[0] > 0;
  const double fg = has_fg ? fg_sum_ / double(fg_count_) : 0;
  const double bg = has_bg ? sum_[0] / double(count_[0]) : fg;
  common_mean_ = static_cast<float>(has_fg ? fg : bg);
  background_mean_ = static_cast<float>(bg);
  // Objects left in the background inflate its spread, and those that cover much of the image
  // inflate the robust one: the smaller of the two is the safer noise level.
  const double variance = has_bg ? background_squares_ / double(count_[0]) - bg * bg : 0;
  background_noise_ =
      std::min(image_spread_, static_cast<float>(std::sqrt(std::max(0.0, variance))));
  // The foreground's level: the mean of the labels that stand clear of the noise, so that
  // labels of faint background, which a noisy frame seeds, cannot drag it down.
  double sum = 0, count = 0;
  for (size_t l = 1; l <= top_label_; ++l)
    if (count_[l] != 0 &&
        sum_[l] / double(count_[l]) - bg > kMinCutContrast * double(background_noise_)) {
      sum += sum_[l];
      count += double(count_[l]);
    }
  typical_mean_ = count > 0 ? static_cast<float>(sum / count) : common_mean_;
}

float TwoListLevelSet::LabelMean(unsigned short label) const {
  if (settings_.shared_mean || count_[label] == 0) return common_mean_;
  const float own = static_cast<float>(sum_[label] / double(count_[label]));
  // A label no brighter than this is background that a noisy start made into an object: it
  // gets the background's mean, so that it empties. Holding it at the floor instead lets it
  // spread over the background, since the split then lies within the background's noise.
  const float floor =
      background_mean_ + std::max(kMinLabelContrast * (common_mean_ - background_mean_),
                                  kMinLabelNoiseMultiple * background_noise_);
  if (own < floor) return background_mean_;
  // A label's own mean serves a dim nucleus, which the foreground's common mean would lose; it
  // never holds a label above the mean of the labels clear of the noise, since bright spots in a
  // nucleus (condensing chromatin) or the bright body of a spread-out cell raise it far above the
  // rest of the object, whose voxels would then fall to the background. (Nor below the floor, in
  // a frame whose foreground as a whole is that faint.)
  return std::min(own, std::max(typical_mean_, floor));
}

float TwoListLevelSet::Data(size_t p, unsigned short label) const {
  const float c2 = background_mean_, c1 = LabelMean(label);
  const float contrast = c1 - c2;
  if (!(contrast > 0)) return -kNoContrastPull;  // a phase no brighter than the background
  // Beyond the phase means the data say nothing more, which also keeps the force monotone in
  // the voxel value when the weights differ.
  const float v = std::clamp(value_[p], c2, c1);
  const float to_bg = v - c2, to_fg = v - c1;
  return (settings_.bg_weight * to_bg * to_bg - settings_.fg_weight * to_fg * to_fg) /
         (contrast * contrast);
}

unsigned short TwoListLevelSet::FaceLabel(size_t p) const {
  for (const ptrdiff_t o : face_)
    if (label_[p + o] != 0) return label_[p + o];
  return 0;
}

TwoListLevelSet::Scan TwoListLevelSet::JoinScan(size_t p) const {
  unsigned short found = 0;
  int same = 0, valid = 0;
  for (const ptrdiff_t o : full_) {
    const size_t q = p + o;
    if (state_[q] & kPadding) continue;
    ++valid;
    const unsigned short l = label_[q];
    if (l == 0) continue;
    if (found != 0 && l != found) return {0, 0.0f};  // joining would merge two labels
    found = l;
    ++same;
  }
  return {found, valid ? static_cast<float>(same) / static_cast<float>(valid) : 0.0f};
}

float TwoListLevelSet::StayShare(size_t p, unsigned short label) const {
  int same = 0, valid = 0;
  for (const ptrdiff_t o : full_) {
    const size_t q = p + o;
    if (state_[q] & kPadding) continue;
    ++valid;
    same += label_[q] == label;
  }
  return valid ? static_cast<float>(same) / static_cast<float>(valid) : 0.0f;
}

size_t TwoListLevelSet::Sweep(bool field) {
  for (Slab& slab : slabs_) slab.moved = 0;
  // Outward motion over L_out; voxels added to L_out now wait for the next sweep.
  InHalves([&](Slab& slab) { Grow(slab, field); });
  CleanLists(true);
  // Inward motion over L_in.
  InHalves([&](Slab& slab) { Shrink(slab, field); });
  CleanLists(false);
  size_t moved = 0;
  for (const Slab& slab : slabs_) moved += slab.moved;
  return moved;
}

template <class Pass>
void TwoListLevelSet::InHalves(const Pass& pass) {
  const auto count = static_cast<ptrdiff_t>(slabs_.size());
  for (ptrdiff_t parity = 0; parity < 2; ++parity) {
    ParallelJobs((count - parity + 1) / 2, settings_.threads,
                 [&](ptrdiff_t k) { pass(slabs_[static_cast<size_t>(2 * k + parity)]); });
    Merge();
  }
}

// The pull on a voxel is data + weight * (share - 1/2): the Chan-Vese force in the field cycle,
// the bare majority vote (no data, weight 1) in the smoothing cycle. The share lies in [0, 1], so
// when the data alone decide, the neighbourhood is not scanned.
void TwoListLevelSet::Grow(Slab& slab, bool field) {
  const float weight = field ? settings_.curv_weight : 1.0f, reach = weight * kHalf;
  for (size_t i = 0, n = slab.outer.size(); i < n; ++i) {
    const size_t p = slab.outer[i];
    if (Side(p) != kOuter || (state_[p] & kFrozen)) continue;
    const float data = field ? Data(p, FaceLabel(p)) : 0.0f;
    if (data + reach <= 0) continue;
    const Scan scan = JoinScan(p);
    if (scan.label != 0 && data + weight * (scan.share - kHalf) > 0) {
      SwitchIn(slab, p, scan.label);
      ++slab.moved;
    }
  }
}

void TwoListLevelSet::Shrink(Slab& slab, bool field) {
  const float weight = field ? settings_.curv_weight : 1.0f, reach = weight * kHalf;
  for (size_t i = 0, n = slab.inner.size(); i < n; ++i) {
    const size_t p = slab.inner[i];
    if (Side(p) != kInner || (state_[p] & kFrozen)) continue;
    const unsigned short label = label_[p];
    const float data = field ? Data(p, label) : 0.0f;
    if (data - reach >= 0) continue;
    if (data + weight * (StayShare(p, label) - kHalf) < 0) {
      SwitchOut(slab, p);
      ++slab.moved;
    }
  }
}

void TwoListLevelSet::Merge() {
  for (Slab& slab : slabs_) {
    for (const Slab::Change& c : slab.changes) Account(c.label, c.value, c.sign);
    slab.changes.clear();
    hash_ ^= slab.hash;
    slab.hash = 0;
    for (const size_t q : slab.spill_inner) SlabOf(q).inner.push_back(q);
    for (const size_t q : slab.spill_outer) SlabOf(q).outer.push_back(q);
    slab.spill_inner.clear();
    slab.spill_outer.clear();
  }
  if (means_stale_) RefreshMeans();
}

void TwoListLevelSet::CleanLists(bool labelled) {
  ParallelJobs(static_cast<ptrdiff_t>(slabs_.size()), settings_.threads, [&](ptrdiff_t k) {
    Slab& slab = slabs_[static_cast<size_t>(k)];
    std::vector<size_t>& list = labelled ? slab.inner : slab.outer;
    const uint8_t side = labelled ? kInner : kOuter, off = labelled ? kInterior : kExterior;
    size_t keep = 0;
    for (const size_t p : list) {
      if (Side(p) != side || (state_[p] & kListed)) continue;
      if (IsBoundary(p, labelled)) {
        state_[p] |= kListed;
        list[keep++] = p;
      } else {
        SetSide(p, off);
      }
    }
    list.resize(keep);
    for (const size_t p : list) state_[p] &= static_cast<uint8_t>(~kListed);
  });
}

void TwoListLevelSet::NoteSwitch(Slab& slab, size_t p) {
  if (state_[p] & kSwitched) return;
  state_[p] |= kSwitched;
  slab.switched.push_back({p, label_[p]});
}

size_t TwoListLevelSet::SettleIteration() {
  size_t fresh = 0;
  for (Slab& slab : slabs_) {
    for (const auto& [p, before] : slab.switched) {
      state_[p] &= static_cast<uint8_t>(~kSwitched);
      if (label_[p] == before) continue;
      const int flips = (state_[p] & kFlipBits) >> kFlipShift;
      if (flips == kOscillatingFlips) continue;
      ++fresh;
      state_[p] = static_cast<uint8_t>((state_[p] & ~kFlipBits) | ((flips + 1) << kFlipShift));
    }
    slab.switched.clear();
  }
  return fresh;
}

void TwoListLevelSet::SwitchIn(Slab& slab, size_t p, unsigned short label) {
  NoteSwitch(slab, p);
  Record(slab, 0, value_[p], -1);
  Record(slab, label, value_[p], +1);
  slab.hash ^= VoxelKey(p, label);
  label_[p] = label;
  SetSide(p, kInner);
  slab.inner.push_back(p);
  for (const ptrdiff_t o : face_) {
    const size_t q = p + o;
    if ((state_[q] & (kSideBits | kPadding)) == kExterior) {
      SetSide(q, kOuter);
      (&SlabOf(q) == &slab ? slab.outer : slab.spill_outer).push_back(q);
    }
  }
}

void TwoListLevelSet::SwitchOut(Slab& slab, size_t p) {
  NoteSwitch(slab, p);
  const unsigned short label = label_[p];
  Record(slab, label, value_[p], -1);
  Record(slab, 0, value_[p], +1);
  slab.hash ^= VoxelKey(p, label);
  label_[p] = 0;
  SetSide(p, kOuter);
  slab.outer.push_back(p);
  for (const ptrdiff_t o : face_) {
    const size_t q = p + o;
    if (Side(q) == kInterior) {
      SetSide(q, kInner);
      (&SlabOf(q) == &slab ? slab.inner : slab.spill_inner).push_back(q);
    }
  }
}

void TwoListLevelSet::Relabel(Slab& slab, size_t p, unsigned short label) {
  Record(slab, label_[p], value_[p], -1);
  Record(slab, label, value_[p], +1);
  slab.hash ^= VoxelKey(p, label_[p]) ^ VoxelKey(p, label);
  label_[p] = label;
}

void TwoListLevelSet::Record(Slab& slab, unsigned short label, float value, int sign) {
  if (!means_frozen_) slab.changes.push_back({label, sign, value});
}

void TwoListLevelSet::Account(unsigned short label, float value, int sign) {
  if (means_frozen_) return;
  means_stale_ = true;
  sum_[label] += sign * static_cast<double>(value);
  if (label == 0) background_squares_ += sign * double(value) * double(value);
  count_[label] = static_cast<uint64_t>(static_cast<int64_t>(count_[label]) + sign);
  if (label != 0) {
    fg_sum_ += sign * static_cast<double>(value);
    fg_count_ = static_cast<uint64_t>(static_cast<int64_t>(fg_count_) + sign);
  }
}

void TwoListLevelSet::WriteMask(bool* buffer, fls::ResultCreator::ResType type, bool invert) const {
  using fls::ResultCreator;
  uint8_t side;
  switch (type) {
    case ResultCreator::kOuterBoundary:
      side = kOuter;
      break;
    case ResultCreator::kInnerBoundary:
      side = kInner;
      break;
    case ResultCreator::kInterior:
      side = kInterior;
      break;
    case ResultCreator::kForeground:
      grid_.ForEachVoxel([&](size_t i, size_t p) { buffer[i] = (label_[p] != 0) != invert; });
      return;
    default:
      throw InternalException("fls::Routine::Mask: unknown result type " +
                              std::to_string(static_cast<int>(type)));
  }
  grid_.ForEachVoxel([&](size_t i, size_t p) { buffer[i] = (Side(p) == side) != invert; });
}

void TwoListLevelSet::WriteLabels(unsigned short* buffer, bool only_foreground) const {
  grid_.ForEachVoxel([&](size_t i, size_t p) {
    if (!only_foreground || label_[p] != 0) buffer[i] = label_[p];
  });
}

}  // namespace voxa::algo
