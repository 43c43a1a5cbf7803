// Rewriting a run's lineage and masks together. A withdrawn daughter continues the track of the
// label it takes (its mother's), so that this track runs on over the daughter's frames and the
// daughter's own daughters become its daughters; a daughter set free keeps its label and loses
// its parent; an erased track goes from the lineage and its voxels become background. The rules
// decide which; the lineage, the masks and the result folder are rewritten here alike for all.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "mask_store.h"
#include "track_file.h"

namespace trel::tool {

// Labels a 16-bit mask can hold (0 is the background).
inline constexpr uint64_t kMaskLabels = uint64_t{1} << 16;

struct Withdrawal {
  std::vector<TrackLine> lineage;          // the lineage rewritten
  std::map<uint64_t, uint64_t> relabeled;  // a withdrawn daughter's label -> the label it takes
  std::set<uint64_t> freed;                // daughters that lose their parent and keep their label
  std::set<uint64_t> erased;               // tracks removed, voxels and all

  bool Changes() const { return !relabeled.empty() || !freed.empty() || !erased.empty(); }
};

// The lineage in which every label of `relabeled` continues the label it maps to, followed
// through chains to the label that stays, every label of `freed` has no parent and the tracks of
// `erased` are gone. Labels of `relabeled` must map to tracks of the lineage. Returns them with
// `relabeled` mapping to the labels that stay. O(tracks log tracks).
Withdrawal Withdraw(const std::vector<TrackLine>& lineage, std::map<uint64_t, uint64_t> relabeled,
                    std::set<uint64_t> freed = {}, std::set<uint64_t> erased = {});

// Frame -> the labels of `labels` whose tracks live in it, within the run's `frames` frames and
// at most `first_frames` frames from each track's start.
std::map<uint64_t, std::vector<uint16_t>> FramesOf(const std::vector<TrackLine>& lineage,
                                                   const std::set<uint64_t>& labels,
                                                   uint64_t frames,
                                                   uint64_t first_frames = UINT64_MAX);

// A rule: the withdrawal it decides on a run's lineage, reading the masks where it needs to.
using WithdrawalRule =
    std::function<Withdrawal(const MaskStore& masks, const std::vector<TrackLine>& lineage)>;

// Applies the rule to masks of a run of `frames` frames: rewrites the masks of the frames that
// hold a relabeled or erased track and returns the withdrawal.
Withdrawal WithdrawOnMasks(MaskStore& masks, const std::vector<TrackLine>& lineage, uint64_t frames,
                           const WithdrawalRule& rule);

// The same on a result folder (maskTTT.tif, res_track.txt), left as it is when the rule changes
// nothing. The lineage file goes before any mask is rewritten and comes back at the end, so that
// a stop half-way leaves the folder visibly incomplete. Throws ToolError as the result files'
// readers and writers do.
Withdrawal WithdrawInFolder(const std::filesystem::path& folder, uint64_t frames,
                            const WithdrawalRule& rule);

}  // namespace trel::tool
