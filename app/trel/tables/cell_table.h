// The tables of a tracking result: one row per cell and frame (centroid, size, bounding box,
// intensities, whether it touches the field's edge) and one row per track (its course, speed,
// generation and fate), in voxels and in micrometres from the voxel size.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "label_image.h"
#include "track_file.h"

namespace trel::tool {

struct CellRow {
  uint64_t label = 0, frame = 0, parent = 0;
  std::array<double, 3> centroid{};  // x, y, z in voxels
  uint64_t voxels = 0;
  std::array<uint64_t, 3> low{}, high{};   // bounding box, inclusive, x y z
  bool touches_edge = false;               // on the field's left, right, top or bottom edge
  std::optional<double> mean, total, max;  // intensities, when the frames were given
};

// Measures every labelled cell of one frame's mask; with `grey` (same size) its intensities too.
// Rows in label order. O(voxels + labels).
std::vector<CellRow> MeasureCells(const LabelImage& mask, const LabelImage* grey, uint64_t frame,
                                  const std::map<uint64_t, uint64_t>& parents);

enum class Fate { kDivides, kLeaves, kLastFrame, kStops };
const char* FateName(Fate fate);

struct TrackRow {
  uint64_t label = 0, first = 0, last = 0, parent = 0, daughters = 0, length = 0;
  uint64_t generation = 0;  // 0 for a track without parent
  double path_length = 0;   // µm, along the centroids frame to frame
  double displacement = 0;  // µm, first centroid to last
  double speed = 0;         // µm per frame, path length over the frames between
  Fate fate = Fate::kStops;
};

// `spacing`: voxel size x, y, z in µm. `frames`: the run's number of frames.
std::vector<TrackRow> MeasureTracks(const std::vector<TrackLine>& lineage,
                                    const std::vector<CellRow>& cells,
                                    const std::array<double, 3>& spacing, uint64_t frames);

}  // namespace trel::tool
