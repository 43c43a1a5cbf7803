// `trel report`: one pass over a result's masks (with its frames and ground truth where given)
// gathers what a person needs to judge the run, drawn into one self-contained HTML page.
#pragma once

#include <cstdint>
#include <filesystem>

#include "drawing.h"

namespace trel::tool {

struct ReportOptions {
  std::filesystem::path res;
  std::filesystem::path frames;  // empty: the run record's input folder, when it still exists
  std::filesystem::path gt;      // empty: no evaluation
  std::filesystem::path out;     // empty: RES
  uint32_t overlays = 6;         // frames shown, evenly spaced
  DisplayCurve curve = DisplayCurve::kGamma;
};

struct ReportOutcome {
  std::filesystem::path page;
  uint64_t bytes = 0, frames = 0, problems = 0;
  bool with_frames = false, evaluated = false;
};

// Throws ToolError: kExitNoInput for a result without masks or a missing folder given,
// kExitDataError for frames or ground truth that do not fit the masks, kExitCannotCreate or
// kExitIoError when the page cannot be written. A result that breaks the rules of a result is
// still reported, its problems first.
ReportOutcome WriteReport(const ReportOptions& options);

}  // namespace trel::tool
