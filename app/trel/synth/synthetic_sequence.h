// A synthetic time-lapse with exact ground truth, written in the cell-tracking community's
// layout: OUT/01/tTTT.tif (the acquisition), OUT/01_GT/SEG/man_segTTT.tif (full label masks),
// OUT/01_GT/TRA/man_trackTTT.tif (the same masks as track markers) and
// OUT/01_GT/TRA/man_track.txt (the lineage). The same options and seed give the same files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>

namespace trel::tool {

struct SynthOptions {
  int dim = 2;
  uint64_t size = 0;   // x and y size; 0: 512 in 2D, 256 in 3D
  uint64_t depth = 0;  // slices; 0: 1 in 2D, 32 in 3D
  uint64_t frames = 40;
  uint64_t cells = 25;
  double divisions = 40.0;  // mean frames between divisions; 0: none
  double snr = 6.0;
  int bits = 16;
  double z_spacing = 2.0;  // slice distance over the x/y voxel size (3D)
  uint64_t seed = 1;

  uint64_t Size() const { return size ? size : (dim == 3 ? 256 : 512); }
  uint64_t Depth() const { return dim == 3 ? (depth ? depth : 32) : 1; }
};

struct SynthSummary {
  uint64_t tracks = 0;
  uint64_t divisions = 0;  // divisions whose daughters both became tracks
  uint64_t objects = 0;    // labelled objects over all frames
};

// Throws ToolError: kExitUsage for inconsistent options, kExitCannotCreate when a folder cannot
// be made, kExitIoError when a file cannot be written. Progress goes to `log` (may be null).
SynthSummary WriteSyntheticSequence(const SynthOptions& options, const std::filesystem::path& out,
                                    std::ostream* log);

}  // namespace trel::tool
