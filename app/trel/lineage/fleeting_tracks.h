// Objects that flash up for a frame or two and are gone are noise that one frame's segmentation
// took for a cell: a speck of background, a patch of haze. A cell lasts. A track with no mother
// and no daughters that is seen in fewer than kMinLastingFrames frames is removed from the masks
// and the lineage, unless it touches the field's left, right, top or bottom edge, across which a
// cell may pass in a frame. At the run's first and last frames a lone newcomer cannot show that it
// lasts, but away from the edge such newcomers are nearly all specks, as they are in the middle
// of a run: they go too. A run shorter than kMinLastingFrames keeps everything.
// Every method's result goes through this step, so both lineages count only objects that last.
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

// The rule on a run of `frames` frames: the fleeting tracks erased, judged on the masks of the
// frames they live in.
Withdrawal RemoveFleetingTracks(const MaskStore& masks, const std::vector<TrackLine>& lineage,
                                uint64_t frames);

// The same applied to a run's masks, or to a result folder (see relabeling.h); the folder variant
// returns the number of tracks removed.
std::vector<TrackLine> RemoveFleetingTracks(MaskStore& masks, const std::vector<TrackLine>& lineage,
                                            uint64_t frames);
uint64_t RemoveFleetingTracksInFolder(const std::filesystem::path& folder, uint64_t frames);

}  // namespace trel::tool
