// The lineage of a result drawn as a tree: time along x, one row per track, each daughter's row
// right below its parent's subtree, a division a vertical stroke from the parent's last frame to
// its daughters. Tracks carry the colours of the overlays and their label.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "track_file.h"

namespace trel::tool {

struct TreeRow {
  TrackLine track;
  uint32_t row = 0;
  int64_t parent_row = -1;  // -1 for a track without a parent in the lineage
};

// Rows in drawing order: roots by first frame (then label), each followed depth first by its
// daughters. A parent missing from the lineage, or a loop of parents, makes a track a root.
std::vector<TreeRow> LayOutLineage(const std::vector<TrackLine>& lineage);

// `frames`: the run's number of frames (the x axis' extent).
std::string LineageSvg(const std::vector<TrackLine>& lineage, uint64_t frames);

}  // namespace trel::tool
