// Divisions into unequal pieces withdrawn: the daughters of a mitosis are alike in size, while a
// bleb or a protrusion that comes off a cell, or a newcomer that appears beside it, is far smaller
// than the cell. A daughter whose size over its first frames is less than 1 / kMaxDaughterRatio of
// its largest sister's is no daughter: it keeps its label as a track of its own, without a parent.
// When only one daughter is left, there was no division: that daughter continues its mother's
// track under the mother's label.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "mask_store.h"
#include "relabeling.h"
#include "track_file.h"

namespace trel::tool {

// In annotated divisions of simulated and real nuclei the larger daughter is up to 4 times the
// smaller over their first frames (a daughter caught in the middle of parting); this leaves room
// above that.
inline constexpr double kMaxDaughterRatio = 5.0;

// The withdrawal on a run of `frames` frames, reading the masks of the daughters' first frames
// (kMinDaughterFrames of them at most).
Withdrawal WithdrawUnequalDivisions(const MaskStore& masks, const std::vector<TrackLine>& lineage,
                                    uint64_t frames);

// The same applied to a run's masks, or to a result folder; see relabeling.h.
std::vector<TrackLine> WithdrawUnequalDivisions(MaskStore& masks,
                                                const std::vector<TrackLine>& lineage,
                                                uint64_t frames);
void WithdrawUnequalDivisionsInFolder(const std::filesystem::path& folder, uint64_t frames);

}  // namespace trel::tool
