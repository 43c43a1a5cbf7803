// Evaluation of a tracking result folder (maskTTT.tif, res_track.txt) against a ground-truth
// folder (TRA/man_trackTTT.tif, TRA/man_track.txt, SEG/man_seg*.tif): every frame is read
// once, turned into overlap tables against the reference markers and segmentations, and all
// measures are computed from those tables.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "aogm.h"
#include "bio_measures.h"

namespace trel::tool {

struct Evaluation {
  uint64_t frames = 0;
  std::optional<double> seg;
  uint64_t seg_objects = 0;  // reference objects scored by SEG
  uint64_t seg_matched = 0;  // of those, matched by a result object
  bool has_markers = false;  // the ground truth has TRA markers: DET can be computed
  bool has_tracks = false;   // both lineage files were there: TRA can be computed
  AogmCounts aogm;
  std::optional<double> det;
  std::optional<double> lnk;
  std::optional<double> tra;
  std::optional<BioMeasures> bio;

  // The challenge's overall scores: OP_CSB = (SEG + DET) / 2, OP_CTB = (SEG + TRA) / 2.
  std::optional<double> OpCsb() const;
  std::optional<double> OpCtb() const;
};

// Throws ToolError: kExitNoInput for a missing folder or file (ground truth with neither TRA
// markers nor SEG files, a result without the masks the ground truth needs), kExitDataError for
// unreadable or mismatching images and for a result that breaks the consistency rules (the first
// rules broken are named; `trel validate` lists them all). A failure of a ground-truth file says
// so and names the file. A caller that has just checked the result against the same ground truth
// (CheckResultFolder, lineage optional) and found it valid may say so, and save that pass.
enum class ResultCheck { kCheck, kAlreadyValid };
Evaluation Evaluate(const std::filesystem::path& gt, const std::filesystem::path& res,
                    ResultCheck check = ResultCheck::kCheck);

}  // namespace trel::tool
