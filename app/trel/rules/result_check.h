// Checks a whole result folder (maskTTT.tif and res_track.txt) against the consistency rules,
// and optionally against a ground-truth folder: same frame count and same image size.
#pragma once

#include <filesystem>
#include <vector>

#include "result_rules.h"
#include "tool_error.h"

namespace trel::tool {

enum class Lineage { kRequired, kOptional };

// Returns every violation found, in the order: lineage table, frames, ground truth. `gt` may be
// empty. Throws ToolError(kExitNoInput) when the folder, its first mask or (when required) its
// lineage file is missing, and kExitDataError when a mask or the lineage file cannot be parsed;
// a failure of a ground-truth file says that it is one. Without a lineage file (kOptional), only
// the rules of the masks are checked.
std::vector<Violation> CheckResultFolder(const std::filesystem::path& res,
                                         const std::filesystem::path& gt,
                                         Lineage lineage = Lineage::kRequired);

// Runs `read`, a read of a ground-truth file, and rethrows its ToolError with a text that says
// the ground truth is at fault, keeping the exit status.
template <typename Read>
auto ReadGroundTruth(Read&& read) {
  try {
    return read();
  } catch (const ToolError& e) {
    throw ToolError(e.code(), std::string("ground truth: ") + e.what());
  }
}

}  // namespace trel::tool
