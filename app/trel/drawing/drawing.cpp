#include "drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace trel::tool {

namespace {

constexpr double kLowPercentile = 0.005;
constexpr double kHighPercentile = 0.998;
constexpr uint32_t kLevels = 65536;
constexpr double kGoldenAngle = 0.618033988749895;
constexpr double kLogScale = 100.0;  // log(1 + 100 t) / log(101): dim tenth shown at half grey

uint64_t PlaneIndex(uint64_t x, uint64_t y, uint64_t width) {
  return y * width + x;
}

Plane EmptyPlane(uint64_t width, uint64_t height) {
  Plane p;
  p.width = static_cast<uint32_t>(width);
  p.height = static_cast<uint32_t>(height);
  p.values.assign(width * height, 0);
  return p;
}

bool OnOutline(const Plane& l, uint32_t x, uint32_t y) {
  const uint16_t centre = l.values[PlaneIndex(x, y, l.width)];
  if (centre == 0) return false;
  const auto differs = [&](uint32_t nx, uint32_t ny) {
    return l.values[PlaneIndex(nx, ny, l.width)] != centre;
  };
  return (x > 0 && differs(x - 1, y)) || (x + 1 < l.width && differs(x + 1, y)) ||
         (y > 0 && differs(x, y - 1)) || (y + 1 < l.height && differs(x, y + 1));
}

}  // namespace

Plane SlicePlane(const LabelImage& image, uint64_t z) {
  const uint64_t w = image.GetSizeX(), h = image.GetSizeY();
  Plane p = EmptyPlane(w, h);
  std::copy_n(image.begin() + z * w * h, w * h, p.values.begin());
  return p;
}

Plane MaxProjection(const LabelImage& grey) {
  Plane p = SlicePlane(grey, 0);
  const uint64_t area = p.values.size();
  for (uint64_t z = 1; z < grey.GetSizeZ(); ++z) {
    const unsigned short* slice = grey.begin() + z * area;
    for (uint64_t k = 0; k < area; ++k) p.values[k] = std::max(p.values[k], slice[k]);
  }
  return p;
}

Plane ProjectLabels(const LabelImage& labels, const LabelImage* grey) {
  const uint64_t area = labels.GetSizeX() * labels.GetSizeY();
  Plane p = EmptyPlane(labels.GetSizeX(), labels.GetSizeY());
  std::vector<uint16_t> brightest(grey ? area : 0, 0);
  for (uint64_t z = 0; z < labels.GetSizeZ(); ++z) {
    const unsigned short* l = labels.begin() + z * area;
    for (uint64_t k = 0; k < area; ++k) {
      if (l[k] == 0) continue;
      if (!grey) {
        if (p.values[k] == 0) p.values[k] = l[k];
        continue;
      }
      const uint16_t g = grey->begin()[z * area + k];
      if (p.values[k] == 0 || g > brightest[k]) {
        p.values[k] = l[k];
        brightest[k] = g;
      }
    }
  }
  return p;
}

Plane ShrinkGrey(const Plane& grey, uint32_t factor) {
  if (factor <= 1) return grey;
  Plane p = EmptyPlane(grey.width / factor, grey.height / factor);
  for (uint32_t y = 0; y < p.height; ++y)
    for (uint32_t x = 0; x < p.width; ++x) {
      uint64_t sum = 0;
      for (uint32_t dy = 0; dy < factor; ++dy)
        for (uint32_t dx = 0; dx < factor; ++dx)
          sum += grey.values[PlaneIndex(x * factor + dx, y * factor + dy, grey.width)];
      p.values[PlaneIndex(x, y, p.width)] = static_cast<uint16_t>(sum / (factor * factor));
    }
  return p;
}

Plane ShrinkLabels(const Plane& labels, uint32_t factor) {
  if (factor <= 1) return labels;
  Plane p = EmptyPlane(labels.width / factor, labels.height / factor);
  for (uint32_t y = 0; y < p.height; ++y)
    for (uint32_t x = 0; x < p.width; ++x)
      p.values[PlaneIndex(x, y, p.width)] =
          labels.values[PlaneIndex(x * factor + factor / 2, y * factor + factor / 2, labels.width)];
  return p;
}

uint8_t Stretch::Map(uint16_t grey) const {
  double t = std::clamp((grey - low) / (high - low), 0.0, 1.0);
  if (curve == DisplayCurve::kGamma) t = std::sqrt(t);
  if (curve == DisplayCurve::kLog) t = std::log1p(kLogScale * t) / std::log1p(kLogScale);
  return static_cast<uint8_t>(std::lround(255.0 * t));
}

Stretch FindStretch(const Plane& grey, DisplayCurve curve) {
  std::vector<uint64_t> histogram(kLevels, 0);
  for (const uint16_t v : grey.values) ++histogram[v];
  const auto level_at = [&](double fraction) {
    const auto wanted = static_cast<uint64_t>(fraction * static_cast<double>(grey.values.size()));
    uint64_t seen = 0;
    for (uint32_t v = 0; v < kLevels; ++v) {
      seen += histogram[v];
      if (seen > wanted) return static_cast<double>(v);
    }
    return static_cast<double>(kLevels - 1);
  };
  Stretch s{level_at(kLowPercentile), level_at(kHighPercentile), curve};
  if (s.high <= s.low) s.high = s.low + 1.0;
  return s;
}

RgbPicture GreyPicture(const Plane& grey, const Stretch& stretch) {
  RgbPicture picture{grey.width, grey.height, {}};
  picture.rgb.resize(grey.values.size() * 3);
  std::array<uint8_t, kLevels> table{};
  for (uint32_t v = 0; v < kLevels; ++v) table[v] = stretch.Map(static_cast<uint16_t>(v));
  for (size_t k = 0; k < grey.values.size(); ++k)
    std::fill_n(&picture.rgb[3 * k], 3, table[grey.values[k]]);
  return picture;
}

Rgb LabelColour(uint64_t label) {
  const double hue = std::fmod(static_cast<double>(label) * kGoldenAngle, 1.0) * 6.0;
  const int sector = static_cast<int>(hue);
  const double f = hue - sector;
  const double v[6][3] = {{1, f, 0},     {1 - f, 1, 0}, {0, 1, f},
                          {0, 1 - f, 1}, {f, 0, 1},     {1, 0, 1 - f}};
  Rgb rgb{};
  for (int c = 0; c < 3; ++c) rgb[c] = static_cast<uint8_t>(80 + 175 * v[sector % 6][c]);
  return rgb;
}

std::string ColourText(const Rgb& colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", colour[0], colour[1], colour[2]);
  return text;
}

void DrawOutlines(RgbPicture& picture, const Plane& labels) {
  for (uint32_t y = 0; y < labels.height; ++y)
    for (uint32_t x = 0; x < labels.width; ++x)
      if (OnOutline(labels, x, y)) {
        const Rgb c = LabelColour(labels.values[PlaneIndex(x, y, labels.width)]);
        std::copy(c.begin(), c.end(), &picture.rgb[3 * PlaneIndex(x, y, picture.width)]);
      }
}

void DrawFilled(RgbPicture& picture, const Plane& labels, double opacity,
                const Colouring& colouring) {
  uint16_t last_label = 0;
  std::optional<Rgb> colour;
  for (uint32_t y = 0; y < labels.height; ++y)
    for (uint32_t x = 0; x < labels.width; ++x) {
      const uint16_t label = labels.values[PlaneIndex(x, y, labels.width)];
      if (label == 0) continue;
      if (label != last_label) {
        colour = colouring(label);
        last_label = label;
      }
      if (!colour) continue;
      uint8_t* pixel = &picture.rgb[3 * PlaneIndex(x, y, picture.width)];
      const double a = OnOutline(labels, x, y) ? 1.0 : opacity;
      for (int c = 0; c < 3; ++c)
        pixel[c] = static_cast<uint8_t>(std::lround((1 - a) * pixel[c] + a * (*colour)[c]));
    }
}

RgbPicture SideBySide(const RgbPicture& left, const RgbPicture& right) {
  RgbPicture both{left.width + right.width, left.height, {}};
  both.rgb.reserve(static_cast<size_t>(both.width) * both.height * 3);
  for (uint32_t y = 0; y < left.height; ++y) {
    const auto row = [&](const RgbPicture& p) {
      const auto* begin = p.rgb.data() + static_cast<size_t>(y) * p.width * 3;
      both.rgb.insert(both.rgb.end(), begin, begin + static_cast<size_t>(p.width) * 3);
    };
    row(left);
    row(right);
  }
  return both;
}

}  // namespace trel::tool
