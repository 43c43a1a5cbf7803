// Withdrawing divisions from a lineage: a withdrawn daughter continues the track of the label it
// takes (its mother's), so that this track runs on over the daughter's frames and the daughter's
// own daughters become its daughters; a daughter set free keeps its label and loses its parent.
// The rules that withdraw divisions decide which; the lineage, the masks and the result folder
// are rewritten here alike for all of them.
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

struct Withdrawal {
  std::vector<TrackLine> lineage;          // the lineage with the divisions withdrawn
  std::map<uint64_t, uint64_t> relabeled;  // a withdrawn daughter's label -> the label it takes
  std::set<uint64_t> freed;                // daughters that lose their parent and keep their label

  bool Changes() const { return !relabeled.empty() || !freed.empty(); }
};

// The lineage in which every label of `relabeled` continues the label it maps to, followed
// through chains to the label that stays, and every label of `freed` has no parent. Returns them
// with `relabeled` mapping to the labels that stay. O(tracks log tracks).
Withdrawal Withdraw(const std::vector<TrackLine>& lineage, std::map<uint64_t, uint64_t> relabeled,
                    std::set<uint64_t> freed = {});

// A rule: the withdrawal it decides on a run's lineage, reading the masks where it needs to.
using WithdrawalRule =
    std::function<Withdrawal(const MaskStore& masks, const std::vector<TrackLine>& lineage)>;

// Applies the rule to masks of a run of `frames` frames: relabels the masks of the frames that
// hold a relabeled track and returns the new lineage.
std::vector<TrackLine> WithdrawOnMasks(MaskStore& masks, const std::vector<TrackLine>& lineage,
                                       uint64_t frames, const WithdrawalRule& rule);

// The same on a result folder (maskTTT.tif, res_track.txt), left as it is when the rule changes
// nothing. The lineage file goes before any mask is rewritten and comes back at the end, so that
// a stop half-way leaves the folder visibly incomplete. Throws ToolError as the result files'
// readers and writers do.
void WithdrawInFolder(const std::filesystem::path& folder, uint64_t frames,
                      const WithdrawalRule& rule);

}  // namespace trel::tool
