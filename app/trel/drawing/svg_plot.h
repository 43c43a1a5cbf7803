// Small plots as SVG text for a page: lines over frames, and histograms of a quantity, with
// axes, round tick values and a legend. The SVG carries class "plot" and its title, so that a
// page (and its test) can find it.
#pragma once

#include <string>
#include <vector>

namespace trel::tool {

struct Series {
  std::string name;
  std::string colour;  // "#rrggbb"
  std::vector<double> x, y;
};

std::string LinePlot(const std::string& title, const std::string& x_label,
                     const std::string& y_label, const std::vector<Series>& series);

// Counts of `values` in `bins` equal bins between their minimum and maximum.
std::string Histogram(const std::string& title, const std::string& x_label,
                      const std::vector<double>& values, int bins);

// Text safe inside XML and HTML.
std::string Escaped(const std::string& text);

}  // namespace trel::tool
