// The report as one self-contained HTML page: every picture is inside it (PNG as data URLs,
// plots and the lineage tree as SVG), so that it opens anywhere without network or other files.
// A script of a few lines plays the overview; it marks the page with data-ready="yes" when it
// has run and with data-error when anything on the page failed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace trel::tool {

// A frame's picture with what is drawn over it in the frame's own pixel coordinates.
struct Overlay {
  uint64_t frame = 0;
  uint32_t width = 0, height = 0;  // the frame's size, whatever the picture's
  std::string png;                 // the picture's PNG bytes
  struct Mark {
    double x, y;
    uint64_t label;
    std::string colour;
  };
  std::vector<Mark> marks;  // track labels at the centroids
  struct Trail {
    std::string colour;
    std::vector<std::pair<double, double>> points;
  };
  std::vector<Trail> trails;  // the centroids' last positions
};

using Rows = std::vector<std::pair<std::string, std::string>>;

struct ReportContent {
  std::string title;
  Rows run;                             // where the result comes from and how it was made
  Rows counts;                          // frames, tracks, divisions, doubtful parts
  std::vector<std::string> problems;    // broken rules, unreadable files: shown first
  Rows evaluation;                      // every measure, when there is ground truth
  std::string legend;                   // of the error colours, with the evaluation
  std::vector<std::string> plots;       // SVG
  std::string lineage;                  // SVG
  std::vector<Overlay> overlays;        // coloured by track
  std::vector<Overlay> error_overlays;  // coloured by the errors, with the evaluation
  std::vector<std::string> player;      // PNG bytes of the overview's frames
  std::vector<uint64_t> player_frames;  // their frame numbers
  uint32_t player_width = 0, player_height = 0;
};

std::string RenderReportPage(const ReportContent& content);

// RFC 4648 base64, for data URLs.
std::string Base64(const std::string& bytes);

}  // namespace trel::tool
