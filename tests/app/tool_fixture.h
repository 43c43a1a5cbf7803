// Helpers of the trel tool's tests: small ground-truth and result folders written from text
// drawings (one drawing per frame, as Draw understands them), and a ground truth turned into a
// result by renaming its files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frame_files.h"
#include "label_image.h"
#include "support/test_support.h"

namespace trel::tool::testing {

using Drawing = std::vector<std::string>;

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

inline void WriteFrames(const std::filesystem::path& folder, const std::string& prefix,
                        const std::vector<Drawing>& frames) {
  std::filesystem::create_directories(folder);
  const FrameFiles files(folder, prefix);
  for (size_t t = 0; t < frames.size(); ++t)
    WriteLabelImage(files.Name(t), trel::testing::Draw<unsigned short>(frames[t]));
}

// GT/TRA/man_trackTTT.tif and GT/TRA/man_track.txt.
inline void WriteGroundTruth(const std::filesystem::path& gt, const std::vector<Drawing>& markers,
                             const std::string& tracks) {
  WriteFrames(gt / "TRA", "man_track", markers);
  WriteText(gt / "TRA" / "man_track.txt", tracks);
}

// RES/maskTTT.tif and RES/res_track.txt.
inline void WriteResult(const std::filesystem::path& res, const std::vector<Drawing>& masks,
                        const std::string& tracks) {
  WriteFrames(res, "mask", masks);
  WriteText(res / "res_track.txt", tracks);
}

// Copies GT/<kind>/<prefix>TTT.tif to RES/maskTTT.tif and the lineage to RES/res_track.txt.
inline void GroundTruthAsResult(const std::filesystem::path& gt, const std::string& kind,
                                const std::string& prefix, const std::filesystem::path& res) {
  std::filesystem::create_directories(res);
  const FrameFiles from(gt / kind, prefix), to(res, "mask");
  for (uint64_t t = 0, n = from.CountFrames(); t < n; ++t)
    std::filesystem::copy_file(from.Name(t), to.Name(t));
  std::filesystem::copy_file(gt / "TRA" / "man_track.txt", res / "res_track.txt");
}

}  // namespace trel::tool::testing
