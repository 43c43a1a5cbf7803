// Objects that flash up for a frame or two and are gone are noise that one frame's segmentation
// took for a cell: a speck of background, a patch of haze. A cell lasts. A track with no mother
// and no daughters that is seen in fewer than kMinLastingFrames frames is removed from the masks
// and the lineage, unless it cannot be judged: the run's first or last frame cuts it short, or it
// touches the field's left, right, top or bottom edge, across which a cell may pass in a frame.
// Every method's result goes through this step, so both lineages count only objects that last.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <vector>

#include "mask_store.h"
#include "passing_divisions.h"
#include "track_file.h"

namespace trel::tool {

// A track is an object when it is seen in this many frames, as a division's daughters must be.
inline constexpr uint64_t kMinLastingFrames = kMinDaughterFrames;

// The labels of the fleeting tracks of `lineage` (a run of `frames` frames), judged on the masks,
// which are only read: those of the frames a candidate lives in.
std::set<uint64_t> FleetingTracks(const MaskStore& masks, const std::vector<TrackLine>& lineage,
                                  uint64_t frames);

// Erases the labels `fleeting` from the masks of the frames they live in and returns the lineage
// without their tracks.
std::vector<TrackLine> EraseTracks(MaskStore& masks, const std::vector<TrackLine>& lineage,
                                   const std::set<uint64_t>& fleeting);

// Both steps on a result folder (maskTTT.tif, res_track.txt); returns the number of tracks removed.
// The lineage file goes before any mask is rewritten and comes back at the end. Throws ToolError
// as the result files' readers and writers do.
uint64_t RemoveFleetingTracksInFolder(const std::filesystem::path& folder, uint64_t frames);

}  // namespace trel::tool
