// The lineage of a result whose labels are only carried from one frame to the next (the
// graph-cut tracker), where both daughters of a division keep their mother's label. Every label
// is cut at its narrow necks and split into its connected pieces; pieces large enough to be cells
// are matched to the label's tracks by their overlap with the previous frame, and two or more
// pieces matched to one track end it and begin one daughter track each, so that every label of the
// result is one cell. A division stands only when two of its daughters last into the frames after
// it; pieces that part from a cell for a frame or two stay that cell.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "mask_store.h"
#include "track_file.h"

namespace trel::tool {

// Reads maskTTT.tif for TTT < frames in `folder`, cuts labels at their narrow necks, gives each
// divided cell its own label (rewriting only the masks that change) and writes
// folder/res_track.txt with the
// parents. Pieces smaller than `min_size` voxels are fragments of their label's largest piece.
// Any res_track.txt already there is removed first, so that a failure leaves none. Throws
// ToolError: kExitDataError when the masks differ in size or the divisions need more labels than
// a 16-bit mask holds, and the statuses of ReadLabelImage, WriteLabelImage and WriteTrackFile.
void SplitDivisionsAndWriteLineage(const std::filesystem::path& folder, uint64_t frames,
                                   uint64_t min_size);

// The same on any masks (a folder, an array in memory): rewrites the masks that change and
// returns the lineage.
std::vector<TrackLine> SplitDivisions(MaskStore& masks, uint64_t frames, uint64_t min_size);

}  // namespace trel::tool
