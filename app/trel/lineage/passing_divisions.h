// Divisions that do not last, withdrawn from a lineage whose tracker gives every daughter a
// label of its own (the level set): a division stands when at least two of its daughters (or
// their own descendants) last a few frames from it, as the graph cut's lineage requires too.
// A piece that parts from a cell for a frame or two, or a spread-out cell that falls apart for a
// while, stays that cell: its daughters take their mother's label again.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <vector>

#include "mask_store.h"
#include "relabeling.h"
#include "track_file.h"

namespace trel::tool {

// A division is real when at least two daughters (or their descendants) last this many frames
// from it; daughters the run's end cuts short cannot be checked and count.
constexpr uint64_t kMinDaughterFrames = 3;

// `frames`: the run's number of frames. A division is withdrawn only when its daughters that do
// not last are leaves ending no later than the one that does, so that the mother's track stays
// one stretch of frames before any later division. O(tracks log tracks).
Withdrawal WithdrawPassingDivisions(const std::vector<TrackLine>& lineage, uint64_t frames);

// The same on a run's masks: relabels the masks that hold a withdrawn label and returns the new
// lineage.
std::vector<TrackLine> WithdrawPassingDivisions(MaskStore& masks,
                                                const std::vector<TrackLine>& lineage,
                                                uint64_t frames);

// The same on a result folder (maskTTT.tif, res_track.txt). The lineage file goes before any
// mask is rewritten and comes back at the end, so that a stop half-way leaves the folder visibly
// incomplete. Throws ToolError as the result files' readers and writers do.
void WithdrawPassingDivisionsInFolder(const std::filesystem::path& folder, uint64_t frames);

}  // namespace trel::tool
