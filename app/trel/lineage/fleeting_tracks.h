// Objects that flash up for a frame or two and are gone are noise that one frame's segmentation
// took for a cell: a speck of background, a patch of haze. A cell lasts. A track with no mother
// and no daughters that is seen in fewer than kMinLastingFrames frames is removed from the masks
// and the lineage, wherever it lies: at the field's edge such tracks were specks too (113 against
// 15 pieces of real cells on our sequences and their variants), as were lone newcomers at the
// run's first and last frames, which cannot show that they last. A run shorter than
// kMinLastingFrames keeps everything. Every method's result goes through this step, so both
// lineages count only objects that last.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "mask_store.h"
#include "passing_divisions.h"
#include "relabeling.h"
#include "track_file.h"

namespace trel::tool {

// A track is an object when it is seen in this many frames, as a division's daughters must be.
inline constexpr uint64_t kMinLastingFrames = kMinDaughterFrames;

// The rule on a run of `frames` frames: the fleeting tracks erased. The lineage alone decides; the
// masks are those of the run, for the signature shared with the other rules.
Withdrawal RemoveFleetingTracks(const MaskStore& masks, const std::vector<TrackLine>& lineage,
                                uint64_t frames);

// The same applied to a run's masks, or to a result folder (see relabeling.h); the folder variant
// returns the number of tracks removed.
std::vector<TrackLine> RemoveFleetingTracks(MaskStore& masks, const std::vector<TrackLine>& lineage,
                                            uint64_t frames);
uint64_t RemoveFleetingTracksInFolder(const std::filesystem::path& folder, uint64_t frames);

}  // namespace trel::tool
