// The two-list level set of Shi and Karl (2008) for multi-label Chan-Vese: a label image with an
// inner boundary list L_in (labelled voxels with a background face neighbour) and an outer one
// L_out (background voxels with a labelled face neighbour). A field cycle switches list voxels by
// the sign of the Chan-Vese force; a smoothing cycle switches them by a majority vote of their
// full neighbourhood. The region sums follow the switches, so no pass over the whole image is
// needed after the start.
//
// The lists are kept per slab of kSlabRows rows of the grid, a division fixed by the grid alone.
// A sweep runs over the even slabs, then over the odd ones; slabs of one parity never touch each
// other's voxels or neighbours, so they may run on separate threads, and the sums are brought
// together in slab order between the two halves. The result is thus the same for any number of
// threads: the means are those of the regions at the start of each half-sweep.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "outlines/edge_level.h"
#include "padded_grid.h"
#include "voxa/fls.h"
#include "voxa/image3d.h"
#include "voxa/neck_split.h"

namespace voxa::algo {

// Where labels touch in an image, the line between them may move this many voxels to either
// side to reach the seam: more than nuclei usually move between frames, less than their radius.
// Stacks keep their lines: the axial blur washes out the seam between nuclei above one another,
// and the brightest-first flood then hands one nucleus to its neighbour.
constexpr int kInterfaceBand = 10;
// Touching labels whose mean speed values differ by a tenth of the normalised range or more are
// told apart by value within that band (InterfaceWatershed).
constexpr float kDistinctLabels = 0.1f;

struct ChanVeseSettings {
  float curv_weight = 0;
  float fg_weight = 1;
  float bg_weight = 1;
  int smoothing_sweeps = 2;      // majority sweeps of the smoothing cycle
  bool fixed_means = false;      // keep the start means
  bool shared_mean = true;       // one foreground mean over all labels
  int interface_band = 0;        // voxels re-flooded on each side of a label-label interface
  int edge_reach = 0;            // voxels an outline may move to the edge's level (EdgeLevel)
  float min_local_contrast = 0;  // pieces fainter than this against their rings go; 0 keeps all
  float neck_ratio = 0;          // labels are cut at necks narrower than this (NeckCut); 0: none
  bool join_seamless = false;    // touching labels with no seam between them join (SeamJoin)
  unsigned threads = 1;          // threads the sweeps may share out their slabs to
};

class TwoListLevelSet {
 public:
  // `mutable_mask`, when not null, marks the voxels that may change side. Both images must
  // have the sizes of `speed` (checked by the callers).
  TwoListLevelSet(const Image3d<float>& speed, const Image3d<bool>* mutable_mask,
                  const ChanVeseSettings& settings);

  // Sets the start labels (one per voxel, image order, 0 = background) and builds the lists
  // and sums. One pass over the image.
  void Start(const unsigned short* labels);
  // Runs up to max_iter iterations (field cycle + smoothing cycle), then the steps its settings
  // switch on: moves the interfaces between touching labels to the seams, joins the labels no
  // seam parts, moves the outlines to their edges, cuts the labels at their narrow necks (NeckCut)
  // and erases the faint pieces (LocalContrast); returns how many iterations ran. A further Evolve
  // may close the cuts again.
  size_t Evolve(size_t max_iter);

  // Erases the pieces that do not stand out of their surroundings (LocalContrast), as the end of
  // Evolve does; a start may be judged so before it evolves.
  void EraseFaintPieces();

  void WriteMask(bool* buffer, fls::ResultCreator::ResType type, bool invert) const;
  void WriteLabels(unsigned short* buffer, bool only_foreground) const;

 private:
  static constexpr int kFlipShift = 6;
  static constexpr int kOscillatingFlips = 3;
  // Voxel state bits: the side of the two-list scheme in the low two bits.
  enum : uint8_t {
    kExterior = 0,
    kOuter = 1,
    kInner = 2,
    kInterior = 3,
    kSideBits = 3,
    kFrozen = 4,           // may not change side
    kPadding = 8,          // outside the image
    kListed = 16,          // already kept during a list clean-up
    kSwitched = 32,        // switched side during the current iteration
    kFlipBits = 64 | 128,  // iterations that ended with the voxel changed, up to 3
  };
  struct Scan {
    unsigned short label;  // the one label of the neighbourhood, 0 when none or several
    float share;           // share of in-image neighbours carrying the voxel's label
  };

  // The rows of a slab: at least two, so that two slabs of one parity are never neighbours.
  static constexpr size_t kSlabRows = 8;
  // The lists of one slab and what its switches changed until the next Merge.
  struct Slab {
    std::vector<size_t> inner, outer;  // L_in and L_out, with stale entries until cleaned
    // Voxels of other slabs that its switches made boundary voxels, handed over on Merge.
    std::vector<size_t> spill_inner, spill_outer;
    struct Change {
      unsigned short label;
      int sign;
      float value;
    };
    std::vector<Change> changes;                              // to the region sums, in order
    std::vector<std::pair<size_t, unsigned short>> switched;  // this iteration's, with old label
    uint64_t hash = 0;
    size_t moved = 0;
  };

  uint8_t Side(size_t p) const { return state_[p] & kSideBits; }
  void SetSide(size_t p, uint8_t side) {
    state_[p] = static_cast<uint8_t>((state_[p] & ~kSideBits) | side);
  }
  bool IsBoundary(size_t p, bool labelled) const;
  size_t SlabIndex(size_t p) const {
    return std::min((p / row_length_) % rows_ / kSlabRows, slabs_.size() - 1);
  }
  Slab& SlabOf(size_t p) { return slabs_[SlabIndex(p)]; }

  // One sweep over L_out then L_in, of the field cycle (`field`) or of the smoothing cycle.
  // Returns the number of voxels that switched.
  size_t Sweep(bool field);
  // Runs `pass` on the even slabs, then on the odd ones, merging after each half.
  template <class Pass>
  void InHalves(const Pass& pass);
  void Grow(Slab& slab, bool field);
  void Shrink(Slab& slab, bool field);
  // Brings the slabs' changes to the sums and their spilled voxels to their owners' lists.
  void Merge();
  void CutNecks();
  // Per label: whether the neck cut may cut it.
  std::vector<uint8_t> Cuttable();
  // Per label: the mean of its own voxels (0 for labels not in use).
  std::vector<float> OwnMeans() const;
  // Moves the interfaces between touching labels onto the seams between them
  // (InterfaceWatershed).
  void RelocateInterfaces();
  // Joins touching labels that no dark seam parts (SeamJoin).
  void JoinSeamlessLabels();
  // Moves every outline to the level of its own edge (EdgeLevel).
  void MoveOutlinesToEdges();
  // Applies (padded index, new label) changes through the switches and cleans the lists.
  void Apply(const std::vector<std::pair<size_t, unsigned short>>& changes);
  // Drops from every slab's L_in (`labelled`) or L_out what is no longer on its side of the
  // boundary, and repeated entries.
  void CleanLists(bool labelled);
  // Switches p, a voxel of `slab`, into `label` or out to the background.
  void SwitchIn(Slab& slab, size_t p, unsigned short label);
  void SwitchOut(Slab& slab, size_t p);
  void Relabel(Slab& slab, size_t p, unsigned short label);
  // Remembers p's label before its first switch of the iteration.
  void NoteSwitch(Slab& slab, size_t p);
  // Ends an iteration: counts the voxels whose label differs from that at its start and that
  // had not changed that way kOscillatingFlips times before. None means the boundary moves
  // only where it has gone back and forth already: it flickers in the noise and has settled.
  size_t SettleIteration();
  void Record(Slab& slab, unsigned short label, float value, int sign);
  void Account(unsigned short label, float value, int sign);

  // The label a background voxel would join (0 when none or several are around) and the share
  // of its in-image full neighbours carrying it.
  Scan JoinScan(size_t p) const;
  // The share of p's in-image full neighbours that carry `label`.
  float StayShare(size_t p, unsigned short label) const;
  // Some label among p's face neighbours (0 when none).
  unsigned short FaceLabel(size_t p) const;
  // The data term of the Chan-Vese force on p for `label`, in units of the squared contrast,
  // with the means of the last refresh.
  float Data(size_t p, unsigned short label) const;
  float LabelMean(unsigned short label) const;
  void RefreshMeans();

  const Image3d<float>& speed_;
  const Image3d<bool>* mutable_mask_;
  ChanVeseSettings settings_;
  PaddedGrid grid_;
  std::vector<ptrdiff_t> face_, full_;

  std::vector<float> value_;
  std::vector<unsigned short> label_;
  std::vector<uint8_t> state_;
  size_t row_length_ = 0, rows_ = 0;  // of the padded grid, rows over every slice
  std::vector<Slab> slabs_;

  std::vector<double> sum_;  // per label; index 0 is the background
  std::vector<uint64_t> count_;
  double fg_sum_ = 0;
  uint64_t fg_count_ = 0;
  uint64_t hash_ = 0;  // XOR of a mix of (voxel, label) over the labelled voxels
  bool means_frozen_ = false;
  bool means_stale_ = true;  // the cached means wait for a refresh
  float background_mean_ = 0, common_mean_ = 0;
  float typical_mean_ = 0;         // the mean of the labels clear of the noise
  size_t top_label_ = 0;           // the largest label of the start; the evolution makes none
  float image_spread_ = 0;         // robust spread of the speed image, from the start
  float background_noise_ = 0;     // the noise level the label means are judged by
  double background_squares_ = 0;  // sum of the squared background values
};

}  // namespace voxa::algo
