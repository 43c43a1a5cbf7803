// Divisions found by connected pieces and overlap matching. Every label is first cut at its
// narrow necks, so that daughters still touching count as two pieces. Region labelling with the
// 26-neighbourhood (its in-plane 8 offsets on a one-slice image) splits every label into pieces;
// the pieces large enough to be cells are matched to the label's active tracks by their overlap
// with the previous output frame. Fresh labels start above the largest label of the run, so a
// daughter never takes a label the tracker itself uses.
#include "mask_lineage.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "frame_files.h"
#include "label_image.h"
#include "mask_store.h"
#include "overlap_table.h"
#include "passing_divisions.h"
#include "tool_error.h"
#include "track_file.h"
#include "voxa/exceptions.h"
#include "voxa/labeled_image3d.h"
#include "voxa/neck_split.h"
#include "voxa/neighbourhood.h"

namespace trel::tool {

namespace {

constexpr uint64_t kLargestLabel = 65535;  // the most a 16-bit mask holds
// Each pass that withdraws passing divisions may reveal others; a few passes settle it.
constexpr int kMaxPasses = 4;
// Masks up to this many bytes in all are kept in memory between the passes.
constexpr uint64_t kCacheBytes = uint64_t(512) << 20;

using Pieces = voxa::LabeledImage3d<unsigned short, unsigned short>;
using Labels = std::vector<uint16_t>;
using LabelAt = std::pair<uint64_t, uint16_t>;  // frame, input label

// Pieces of one label that are matched as a whole: one kept piece, or every piece of a label
// that has no kept piece.
struct Unit {
  Labels pieces;
  uint64_t volume = 0;
  uint16_t output = 0;  // the label it gets in the rewritten mask
};

uint64_t Overlap(const OverlapTable& table, uint16_t piece, uint16_t track) {
  const auto it =
      std::lower_bound(table.pairs.begin(), table.pairs.end(), std::make_pair(piece, track),
                       [](const PairCount& c, const std::pair<uint16_t, uint16_t>& key) {
                         return std::make_pair(c.reference, c.result) < key;
                       });
  return (it != table.pairs.end() && it->reference == piece && it->result == track) ? it->voxels
                                                                                    : 0;
}

// Relabels the masks of a run frame by frame, keeping for every input label its active output
// labels (its tracks alive in the previous frame) and the lineage of all output labels.
class DivisionSplitter {
 public:
  DivisionSplitter(const std::string& where, uint64_t largest_label, uint64_t min_size,
                   std::set<LabelAt> withdrawn)
      : where_(where),
        next_fresh_(largest_label + 1),
        min_size_(min_size),
        withdrawn_(std::move(withdrawn)) {}

  // Gives frame t's pieces their output labels in `mask`; returns whether any label changed.
  // O(voxels + pieces log pieces).
  bool Relabel(uint64_t t, const std::filesystem::path& file, LabelImage& mask) {
    StartFrame(t, file, mask);
    const OverlapTable table =
        counter_.Count(pieces_.begin(), previous_.begin(), mask.GetImageSize());
    std::map<uint16_t, Labels> pieces_of;  // input label -> its pieces, in raster order
    for (const auto& [id, info] : pieces_.GetComponents()) pieces_of[info.value].push_back(id);
    output_of_.assign(pieces_.NumberOfComponents() + 1, 0);
    std::map<uint16_t, Labels> active;
    for (const auto& [label, pieces] : pieces_of) active[label] = Assign(t, label, pieces, table);
    active_ = std::move(active);
    const bool changed = Paint(mask);
    std::copy(mask.begin(), mask.end(), previous_.begin());
    return changed;
  }

  std::vector<TrackLine> Tracks() const {
    std::vector<TrackLine> lines;
    for (const auto& [label, track] : tracks_) lines.push_back(track);
    return lines;
  }

  // The divisions of this pass whose daughters do not last (see kMinDaughterFrames) in a run of
  // `frames` frames, added to those withdrawn before.
  std::set<LabelAt> PassingDivisions(uint64_t frames) const {
    std::map<uint64_t, uint64_t> lasts;  // output label -> last frame of it or a descendant
    for (auto it = tracks_.rbegin(); it != tracks_.rend(); ++it) {  // daughters after mothers
      uint64_t& last = lasts[it->first];
      last = std::max(last, it->second.end);
      if (it->second.parent) lasts[it->second.parent] = std::max(lasts[it->second.parent], last);
    }
    std::set<LabelAt> passing = withdrawn_;
    for (const auto& [at, daughters] : divisions_) {
      const uint64_t needed = std::min(at.first + kMinDaughterFrames - 1, frames - 1);
      const auto lasting = std::count_if(daughters.begin(), daughters.end(),
                                         [&](uint16_t d) { return lasts.at(d) >= needed; });
      if (lasting < 2) passing.insert(at);
    }
    return passing;
  }

 private:
  void StartFrame(uint64_t t, const std::filesystem::path& file, const LabelImage& mask) {
    if (t == 0) {
      previous_.MakeRoom(mask.GetSizeX(), mask.GetSizeY(), mask.GetSizeZ());
      previous_.SetAllVoxels(0);
    } else if (!SameSize(mask, previous_)) {
      throw ToolError(kExitDataError, file.string() + " is " + SizeText(mask) +
                                          ", but the first mask is " + SizeText(previous_));
    }
    try {
      pieces_.CreateForegroundRegionsFF(mask, voxa::nb3D_26);
    } catch (const voxa::InternalException&) {
      throw ToolError(kExitDataError, file.string() + " holds more than " +
                                          std::to_string(kLargestLabel) + " separate pieces");
    }
  }

  uint64_t Volume(uint16_t piece) const { return pieces_.GetComponents().at(piece).volume; }

  std::vector<Unit> MakeUnits(const Labels& pieces) const {
    std::vector<Unit> units;
    for (uint16_t p : pieces)
      if (Volume(p) >= min_size_) units.push_back(Unit{{p}, Volume(p)});
    if (!units.empty()) return units;
    Unit all;
    for (uint16_t p : pieces) {
      all.pieces.push_back(p);
      all.volume += Volume(p);
    }
    return {all};
  }

  // The output labels of one input label's pieces in frame t; returns its new active labels.
  // Fragments go with the largest unit.
  Labels Assign(uint64_t t, uint16_t label, const Labels& pieces, const OverlapTable& table) {
    std::vector<Unit> units = MakeUnits(pieces);
    const auto known = active_.find(label);
    if (known == active_.end())
      Begin(t, label, units);
    else
      Continue({t, label}, known->second, units, table);
    Labels outputs;
    for (const Unit& u : units) {
      outputs.push_back(u.output);
      for (uint16_t p : u.pieces) output_of_[p] = u.output;
    }
    const Unit& largest =
        *std::max_element(units.begin(), units.end(),
                          [](const Unit& a, const Unit& b) { return a.volume < b.volume; });
    for (uint16_t p : pieces)
      if (!output_of_[p]) output_of_[p] = largest.output;
    std::sort(outputs.begin(), outputs.end());
    return outputs;
  }

  // A label without active tracks: its largest piece takes the label itself unless that already
  // has a track (the label comes back after a gap); every other piece is a new cell.
  void Begin(uint64_t t, uint16_t label, std::vector<Unit>& units) {
    std::stable_sort(units.begin(), units.end(),
                     [](const Unit& a, const Unit& b) { return a.volume > b.volume; });
    for (Unit& u : units) {
      u.output = (&u == &units.front() && !tracks_.count(label)) ? label : Fresh();
      tracks_[u.output] = TrackLine{u.output, t, t, 0, 0};
    }
  }

  // Each unit claims one active track; a track claimed by several units divides into them,
  // unless that division was found passing, when they all stay the track.
  void Continue(LabelAt at, const Labels& active, std::vector<Unit>& units,
                const OverlapTable& table) {
    const uint64_t t = at.first;
    std::map<uint16_t, std::vector<Unit*>> claims;
    for (Unit& u : units) claims[Match(u, active, table)].push_back(&u);
    for (auto& [track, claimants] : claims) {
      if (claimants.size() == 1 || withdrawn_.count(at)) {
        for (Unit* u : claimants) u->output = track;
        tracks_[track].end = t;
        continue;
      }
      Labels& daughters = divisions_[at];
      for (Unit* u : claimants) {
        u->output = Fresh();
        tracks_[u->output] = TrackLine{u->output, t, t, track, 0};
        daughters.push_back(u->output);
      }
    }
  }

  // The active track with the largest overlap (ties: the lower label); without any overlap, the
  // track that was largest in the previous frame.
  static uint16_t Match(const Unit& u, const Labels& active, const OverlapTable& table) {
    uint16_t best = 0;
    uint64_t best_overlap = 0;
    for (uint16_t track : active) {
      uint64_t overlap = 0;
      for (uint16_t p : u.pieces) overlap += Overlap(table, p, track);
      if (overlap > best_overlap) best = track, best_overlap = overlap;
    }
    if (best) return best;
    best = active.front();
    for (uint16_t track : active)
      if (table.ResultVoxels(track) > table.ResultVoxels(best)) best = track;
    return best;
  }

  uint16_t Fresh() {
    if (next_fresh_ > kLargestLabel)
      throw ToolError(kExitDataError, "the divisions in " + where_ + " need more than " +
                                          std::to_string(kLargestLabel) +
                                          " labels, the most a 16-bit mask holds");
    return static_cast<uint16_t>(next_fresh_++);
  }

  // Writes the output labels into `mask` when they differ from the input labels.
  bool Paint(LabelImage& mask) const {
    bool changed = false;
    for (const auto& [id, info] : pieces_.GetComponents()) changed |= output_of_[id] != info.value;
    if (!changed) return false;
    const unsigned short* piece = pieces_.begin();
    for (unsigned short& v : mask) v = output_of_[*piece++];
    return true;
  }

  std::string where_;  // what messages call the masks
  uint64_t next_fresh_;
  uint64_t min_size_;
  std::set<LabelAt> withdrawn_;           // passing divisions found by earlier passes
  std::map<LabelAt, Labels> divisions_;   // this pass's divisions -> their daughters
  std::map<uint16_t, Labels> active_;     // input label -> its tracks alive in the previous frame
  std::map<uint64_t, TrackLine> tracks_;  // output label -> its track
  Pieces pieces_;
  Labels output_of_;     // piece id -> output label; entry 0 (background) stays 0
  LabelImage previous_;  // the previous frame's output labels
  OverlapCounter counter_;
};

// The masks cut at their narrow necks, for every pass. When they fit kCacheBytes they are
// decoded and cut once and kept; otherwise every pass reads and cuts them again.
class CutMasks {
 public:
  CutMasks(const MaskStore& masks, uint64_t frames) : masks_(masks) {
    LabelImage mask;
    for (uint64_t t = 0; t < frames; ++t) {
      masks_.Read(t, mask);
      if (!mask.IsEmpty())
        largest_ = std::max<uint64_t>(largest_, *std::max_element(mask.begin(), mask.end()));
      if (t == 0) keep_ = frames * mask.GetImageSize() * sizeof(uint16_t) <= kCacheBytes;
      if (!keep_) continue;
      cut_.push_back(Cut(mask));
      kept_.push_back(mask);
    }
  }

  uint64_t Largest() const { return largest_; }

  // Frame t, cut, into `mask`; returns whether the cut changed it.
  bool Get(uint64_t t, LabelImage& mask) const {
    if (!keep_) {
      masks_.Read(t, mask);
      return Cut(mask);
    }
    mask = kept_[t];
    return cut_[t];
  }

 private:
  static bool Cut(LabelImage& mask) {
    // Daughters that have not parted yet, and touching nuclei, are one label joined by a neck:
    // cut at the ratios the level-set routines cut their labels at.
    const float ratio = mask.GetSizeZ() > 1 ? voxa::kStackNeckRatio : voxa::kImageNeckRatio;
    return voxa::CutNarrowNecks(mask, ratio) > 0;
  }

  const MaskStore& masks_;
  uint64_t largest_ = 0;
  bool keep_ = false;
  std::vector<LabelImage> kept_;
  std::vector<bool> cut_;
};

}  // namespace

std::vector<TrackLine> SplitDivisions(MaskStore& masks, uint64_t frames, uint64_t min_size) {
  LabelImage mask;
  const CutMasks cut_masks(masks, frames);
  // Trial passes find the passing divisions; the last pass writes the masks.
  std::set<LabelAt> withdrawn;
  for (int pass = 1;; ++pass) {
    const bool last = pass == kMaxPasses;
    DivisionSplitter splitter(masks.Where(), cut_masks.Largest(), min_size, withdrawn);
    for (uint64_t t = 0; t < frames; ++t) {
      const bool cut = cut_masks.Get(t, mask);
      if ((splitter.Relabel(t, masks.Name(t), mask) || cut) && last) masks.Write(t, mask);
    }
    if (last) return splitter.Tracks();
    std::set<LabelAt> passing = splitter.PassingDivisions(frames);
    if (passing == withdrawn) pass = kMaxPasses - 1;  // settled: the next pass writes
    withdrawn = std::move(passing);
  }
}

void SplitDivisionsAndWriteLineage(const std::filesystem::path& folder, uint64_t frames,
                                   uint64_t min_size) {
  const std::filesystem::path lineage = folder / "res_track.txt";
  RemoveTrackFile(lineage);
  FolderMasks masks(folder);
  WriteTrackFile(lineage, SplitDivisions(masks, frames, min_size));
}

}  // namespace trel::tool
