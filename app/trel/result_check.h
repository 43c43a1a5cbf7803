// Checks a whole result folder (maskTTT.tif and res_track.txt) against the consistency rules,
// and optionally against a ground-truth folder: same frame count and same image size.
#pragma once

#include <filesystem>
#include <vector>

#include "result_rules.h"

namespace trel::tool {

// Returns every violation found, in the order: lineage table, frames, ground truth. `gt` may be
// empty. Throws ToolError(kExitNoInput) when the folder, its first mask or its lineage file is
// missing, and kExitDataError when a mask or the lineage file cannot be parsed.
std::vector<Violation> CheckResultFolder(const std::filesystem::path& res,
                                         const std::filesystem::path& gt);

}  // namespace trel::tool
