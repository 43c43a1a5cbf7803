#include "svg_plot.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

namespace trel::tool {

namespace {

constexpr double kWidth = 520, kHeight = 260;
constexpr double kLeft = 56, kRight = 16, kTop = 28, kBottom = 40;
constexpr int kTicks = 5;

// A tick step of 1, 2 or 5 times a power of ten giving about kTicks ticks over the range.
double TickStep(double range) {
  if (range <= 0) return 1;
  const double raw = range / kTicks;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 5.0})
    if (raw <= m * power) return m * power;
  return 10 * power;
}

std::string Number(double v) {
  std::ostringstream text;
  text << std::setprecision(4) << (std::abs(v) < 1e-12 ? 0.0 : v);
  return text.str();
}

void Usable(double& low, double& high) {
  if (!std::isfinite(low) || !std::isfinite(high)) low = 0, high = 1;
  if (!(high - low > 1e-9 * std::max(std::abs(low), std::abs(high)))) high = low + 1;
  if (high == low) low = 0, high = 1;
}

// Round values from low to high, counted rather than stepped so that the count is bounded.
std::vector<double> Ticks(double low, double high) {
  const double step = TickStep(high - low);
  std::vector<double> ticks;
  const double first = std::ceil(low / step);
  for (int k = 0; k <= 4 * kTicks; ++k) {
    const double v = (first + k) * step;
    if (v > high + 1e-9 * std::abs(high)) break;
    ticks.push_back(v);
  }
  return ticks;
}

// The frame of a plot: axes from (x0, y0) to (x1, y1) in data units, with ticks and labels.
class Axes {
 public:
  // A range that is not finite, or too narrow for its numbers to tell apart, becomes 0..1.
  Axes(double x0, double x1, double y0, double y1) : x0_(x0), x1_(x1), y0_(y0), y1_(y1) {
    Usable(x0_, x1_);
    Usable(y0_, y1_);
  }
  double X(double x) const { return kLeft + (x - x0_) / (x1_ - x0_) * (kWidth - kLeft - kRight); }
  double Y(double y) const {
    return kHeight - kBottom - (y - y0_) / (y1_ - y0_) * (kHeight - kTop - kBottom);
  }

  void Draw(std::ostringstream& svg, const std::string& title, const std::string& x_label,
            const std::string& y_label) const {
    svg << "<text x='" << kWidth / 2 << "' y='18' text-anchor='middle' font-weight='bold'>"
        << Escaped(title) << "</text>";
    svg << "<path d='M" << kLeft << ' ' << kTop << "V" << kHeight - kBottom << "H"
        << kWidth - kRight << "' stroke='#444' fill='none'/>";
    for (const double x : Ticks(x0_, x1_))
      svg << "<text x='" << X(x) << "' y='" << kHeight - kBottom + 14 << "' text-anchor='middle'>"
          << Number(x) << "</text>";
    for (const double y : Ticks(y0_, y1_))
      svg << "<path d='M" << kLeft << ' ' << Y(y) << "H" << kWidth - kRight
          << "' stroke='#ddd'/><text x='" << kLeft - 4 << "' y='" << Y(y) + 4
          << "' text-anchor='end'>" << Number(y) << "</text>";
    svg << "<text x='" << kWidth / 2 << "' y='" << kHeight - 6 << "' text-anchor='middle'>"
        << Escaped(x_label) << "</text><text transform='translate(14 " << kHeight / 2
        << ") rotate(-90)' text-anchor='middle'>" << Escaped(y_label) << "</text>";
  }

 private:
  double x0_, x1_, y0_, y1_;
};

std::string Open(const std::string& title) {
  std::ostringstream svg;
  svg << "<svg class='plot' data-title='" << Escaped(title)
      << "' xmlns='http://www.w3.org/2000/svg'"
      << " viewBox='0 0 " << kWidth << ' ' << kHeight << "' width='" << kWidth << "' height='"
      << kHeight << "' font-family='sans-serif' font-size='11'>";
  return svg.str();
}

}  // namespace

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  return out;
}

std::string LinePlot(const std::string& title, const std::string& x_label,
                     const std::string& y_label, const std::vector<Series>& series) {
  double x0 = 0, x1 = 1, y1 = 1;
  for (const Series& s : series) {
    if (!s.x.empty()) x1 = std::max(x1, *std::max_element(s.x.begin(), s.x.end()));
    if (!s.y.empty()) y1 = std::max(y1, *std::max_element(s.y.begin(), s.y.end()));
  }
  const Axes axes(x0, x1, 0, y1 * 1.05);
  std::ostringstream svg;
  svg << Open(title);
  axes.Draw(svg, title, x_label, y_label);
  for (size_t k = 0; k < series.size(); ++k) {
    const Series& s = series[k];
    svg << "<polyline fill='none' stroke-width='1.5' stroke='" << s.colour << "' points='";
    for (size_t i = 0; i < s.x.size() && i < s.y.size(); ++i)
      svg << axes.X(s.x[i]) << ',' << axes.Y(s.y[i]) << ' ';
    svg << "'/>";
    const double ly = kTop + 4 + 14.0 * static_cast<double>(k);
    svg << "<path d='M" << kWidth - kRight - 110 << ' ' << ly << "h16' stroke='" << s.colour
        << "' stroke-width='2'/><text x='" << kWidth - kRight - 90 << "' y='" << ly + 4 << "'>"
        << Escaped(s.name) << "</text>";
  }
  svg << "</svg>";
  return svg.str();
}

std::string Histogram(const std::string& title, const std::string& x_label,
                      const std::vector<double>& values, int bins) {
  std::vector<double> finite;
  for (const double v : values)
    if (std::isfinite(v)) finite.push_back(v);
  double low = 0, high = 1;
  if (!finite.empty()) {
    low = *std::min_element(finite.begin(), finite.end());
    high = *std::max_element(finite.begin(), finite.end());
  }
  Usable(low, high);
  std::vector<double> counts(static_cast<size_t>(bins), 0);
  const double width = (high - low) / bins;
  for (const double v : finite) {
    const double bin = std::clamp((v - low) / width, 0.0, double(bins - 1));
    counts[static_cast<size_t>(bin)] += 1;
  }
  const Axes axes(low, high, 0, *std::max_element(counts.begin(), counts.end()) * 1.05 + 1e-9);
  std::ostringstream svg;
  svg << Open(title);
  axes.Draw(svg, title, x_label, "count");
  for (size_t b = 0; b < counts.size(); ++b) {
    const double left = low + width * static_cast<double>(b);
    svg << "<rect fill='#4a7fb5' x='" << axes.X(left) << "' y='" << axes.Y(counts[b]) << "' width='"
        << std::max(0.5, axes.X(left + width) - axes.X(left) - 1) << "' height='"
        << axes.Y(0) - axes.Y(counts[b]) << "'><title>" << Number(left) << "–"
        << Number(left + width) << ": " << counts[b] << "</title></rect>";
  }
  svg << "</svg>";
  return svg.str();
}

}  // namespace trel::tool
