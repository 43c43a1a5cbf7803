// File names of the frames of a folder in the cell-tracking community's layout: <prefix>TTT.tif
// numbered from 0 with three digits, or four when the folder numbers frame 0 with four (long
// sequences). The frame count is the length of the unbroken run of files from frame 0.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace trel::tool {

class FrameFiles {
 public:
  // Picks the digit count from the files present (three when neither form of frame 0 exists).
  FrameFiles(std::filesystem::path folder, std::string prefix);

  std::filesystem::path Name(uint64_t frame) const;
  // Number of consecutive frames present from frame 0; 0 when frame 0 is missing.
  uint64_t CountFrames() const;
  // The highest frame number present (named as Name names it), empty when there is none: beyond
  // CountFrames() - 1 it reveals a gap. Cost: one listing of the folder.
  std::optional<uint64_t> LastFrame() const;
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  std::string prefix_;
  int digits_;
};

// A reference segmentation file of a ground-truth SEG folder: man_segTTT.tif covers frame T
// (all of it), man_seg_TTT_ZZZ.tif only slice Z of a 3D frame T.
struct SegFile {
  uint64_t frame = 0;
  bool single_slice = false;
  uint64_t slice = 0;
  std::filesystem::path path;
};

// Every reference segmentation file of the folder, ordered by frame and slice; empty when the
// folder does not exist.
std::vector<SegFile> ListSegFiles(const std::filesystem::path& folder);

// The parts of a ground-truth folder GT (GT/TRA, GT/SEG) and of a result folder.
struct GroundTruthLayout {
  explicit GroundTruthLayout(const std::filesystem::path& gt);
  std::filesystem::path tra_folder;
  std::filesystem::path seg_folder;
  std::filesystem::path track_file;  // GT/TRA/man_track.txt
  FrameFiles markers;                // GT/TRA/man_trackTTT.tif
};

struct ResultLayout {
  explicit ResultLayout(const std::filesystem::path& res);
  std::filesystem::path track_file;  // RES/res_track.txt
  FrameFiles masks;                  // RES/maskTTT.tif
};

}  // namespace trel::tool
