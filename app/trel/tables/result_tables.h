// The four tables of a result as text: objects.csv, tracks.csv, napari_tracks.csv and
// napari_graph.json, from masks and frames wherever they are (folders, arrays in memory).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mask_store.h"
#include "stack_outlines.h"
#include "track_file.h"

namespace trel::tool {

struct ResultTables {
  std::string objects, tracks, napari_tracks, napari_graph;
  uint64_t cells = 0;
};

// `frames` (may be null) gives the intensities; `spacing` is the voxel size x, y, z in µm.
// Throws ToolError(kExitDataError) when a frame and its mask differ in size.
ResultTables Tabulate(const MaskStore& masks, const GreyFrames* frames, uint64_t count,
                      const std::vector<TrackLine>& lineage, const std::array<double, 3>& spacing);

}  // namespace trel::tool
