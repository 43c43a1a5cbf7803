#include "lineage_tree.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "drawing.h"
#include "svg_plot.h"

namespace trel::tool {

namespace {

constexpr double kRowHeight = 9, kLeft = 44, kTop = 30, kRight = 12, kBottom = 12;
constexpr double kPlotWidth = 900;
constexpr size_t kLabelledRows = 600;  // beyond this, labels would only be clutter

// Whether following parents from `label` ends at a track without one (or with one absent from
// the file) rather than in a loop.
bool ReachesRoot(uint64_t label, const std::map<uint64_t, const TrackLine*>& by_label) {
  std::set<uint64_t> seen{label};
  for (uint64_t current = label;;) {
    const auto it = by_label.find(current);
    if (it == by_label.end() || it->second->parent == 0) return true;
    current = it->second->parent;
    if (!seen.insert(current).second) return false;
  }
}

}  // namespace

std::vector<TreeRow> LayOutLineage(const std::vector<TrackLine>& lineage) {
  std::map<uint64_t, const TrackLine*> by_label;
  for (const TrackLine& t : lineage) by_label.emplace(t.label, &t);
  std::map<uint64_t, std::vector<const TrackLine*>> daughters;
  std::vector<const TrackLine*> roots;
  for (const auto& [label, t] : by_label) {
    const bool rooted =
        t->parent == 0 || !by_label.count(t->parent) || !ReachesRoot(label, by_label);
    (rooted ? roots : daughters[t->parent]).push_back(t);
  }
  const auto earlier = [](const TrackLine* a, const TrackLine* b) {
    return std::tie(a->begin, a->label) < std::tie(b->begin, b->label);
  };
  std::sort(roots.begin(), roots.end(), earlier);
  std::vector<TreeRow> rows;
  std::map<uint64_t, uint32_t> row_of;
  // Depth first without recursion: a lineage may be thousands of generations deep.
  std::vector<const TrackLine*> stack(roots.rbegin(), roots.rend());
  while (!stack.empty()) {
    const TrackLine* t = stack.back();
    stack.pop_back();
    if (row_of.count(t->label)) continue;
    TreeRow r{*t, static_cast<uint32_t>(rows.size()), -1};
    if (const auto p = row_of.find(t->parent); t->parent && p != row_of.end())
      r.parent_row = p->second;
    row_of[t->label] = r.row;
    rows.push_back(r);
    auto& children = daughters[t->label];
    std::sort(children.begin(), children.end(), earlier);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  return rows;
}

std::string LineageSvg(const std::vector<TrackLine>& lineage, uint64_t frames) {
  const std::vector<TreeRow> rows = LayOutLineage(lineage);
  const double height = kTop + kBottom + kRowHeight * static_cast<double>(rows.size());
  const double span = static_cast<double>(std::max<uint64_t>(frames, 1));
  const auto x = [&](double frame) { return kLeft + frame / span * kPlotWidth; };
  const auto y = [&](double row) { return kTop + kRowHeight * (row + 0.5); };
  std::ostringstream svg;
  svg << "<svg class='lineage' xmlns='http://www.w3.org/2000/svg' viewBox='0 0 "
      << kLeft + kPlotWidth + kRight << ' ' << height << "' width='" << kLeft + kPlotWidth + kRight
      << "' height='" << height << "' font-family='sans-serif' font-size='8'>";
  for (uint64_t f = 0; f <= frames; f += std::max<uint64_t>(1, frames / 10))
    svg << "<path d='M" << x(double(f)) << ' ' << kTop - 4 << "V" << height - kBottom
        << "' stroke='#eee'/><text x='" << x(double(f)) << "' y='" << kTop - 8
        << "' text-anchor='middle' font-size='10'>" << f << "</text>";
  const bool labelled = rows.size() <= kLabelledRows;
  for (const TreeRow& r : rows) {
    const std::string colour = ColourText(LabelColour(r.track.label));
    const double x0 = x(double(r.track.begin)), x1 = x(double(r.track.end) + 1);
    svg << "<g><title>track " << r.track.label << ": frames " << r.track.begin << "–" << r.track.end
        << (r.track.parent ? ", parent " + std::to_string(r.track.parent) : "")
        << "</title><path d='M" << x0 << ' ' << y(r.row) << "H" << x1 << "' stroke='" << colour
        << "' stroke-width='" << kRowHeight * 0.6 << "'/>";
    if (r.parent_row >= 0)
      svg << "<path d='M" << x0 << ' ' << y(double(r.parent_row)) << "V" << y(r.row)
          << "' stroke='#555' stroke-width='1'/>";
    if (labelled)
      svg << "<text x='" << x0 - 2 << "' y='" << y(r.row) + 3 << "' text-anchor='end'>"
          << r.track.label << "</text>";
    svg << "</g>";
  }
  svg << "</svg>";
  return svg.str();
}

}  // namespace trel::tool
