// The lineage file of a result whose labels are carried only from one frame to the next (the
// graph-cut tracker): each label's track runs from the first to the last mask that holds it,
// without parents. Such labels never reappear after a gap, so the tracks are contiguous.
#pragma once

#include <cstdint>
#include <filesystem>

namespace trel::tool {

// Reads maskTTT.tif for TTT < frames in `folder` and writes folder/res_track.txt.
void WriteLineageFromMasks(const std::filesystem::path& folder, uint64_t frames);

}  // namespace trel::tool
