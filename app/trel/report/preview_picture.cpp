// Preview rendering: grey levels from the 0.5 and 99.8 percentiles of the slice (found with a
// histogram), outlines where a labelled pixel has a 4-neighbour with another label, colours from
// a hash of the label spread over the hue circle.
#include "preview_picture.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tool_error.h"

namespace trel::tool {

namespace {

constexpr double kLowPercentile = 0.005;
constexpr double kHighPercentile = 0.998;
constexpr uint32_t kLevels = 65536;
constexpr double kGoldenAngle = 0.618033988749895;

struct Stretch {
  double low, high;
};

Stretch FindStretch(const unsigned short* pixels, uint64_t count) {
  std::vector<uint64_t> histogram(kLevels, 0);
  for (uint64_t k = 0; k < count; ++k) ++histogram[pixels[k]];
  auto level_at = [&](double fraction) {
    const auto wanted = static_cast<uint64_t>(fraction * static_cast<double>(count));
    uint64_t seen = 0;
    for (uint32_t v = 0; v < kLevels; ++v) {
      seen += histogram[v];
      if (seen > wanted) return static_cast<double>(v);
    }
    return static_cast<double>(kLevels - 1);
  };
  Stretch s{level_at(kLowPercentile), level_at(kHighPercentile)};
  if (s.high <= s.low) s.high = s.low + 1.0;
  return s;
}

void LabelColour(uint16_t label, uint8_t rgb[3]) {
  const double hue = std::fmod(label * kGoldenAngle, 1.0) * 6.0;
  const int sector = static_cast<int>(hue);
  const double f = hue - sector;
  const double v[6][3] = {{1, f, 0},     {1 - f, 1, 0}, {0, 1, f},
                          {0, 1 - f, 1}, {f, 0, 1},     {1, 0, 1 - f}};
  for (int c = 0; c < 3; ++c) rgb[c] = static_cast<uint8_t>(80 + 175 * v[sector % 6][c]);
}

bool OnOutline(const unsigned short* l, uint64_t x, uint64_t y, uint64_t w, uint64_t h) {
  const unsigned short centre = l[y * w + x];
  if (centre == 0) return false;
  return (x > 0 && l[y * w + x - 1] != centre) || (x + 1 < w && l[y * w + x + 1] != centre) ||
         (y > 0 && l[(y - 1) * w + x] != centre) || (y + 1 < h && l[(y + 1) * w + x] != centre);
}

}  // namespace

RgbPicture RenderPreview(const voxa::Image3d<unsigned short>& frame,
                         const voxa::Image3d<unsigned short>* labels, uint64_t slice) {
  const uint64_t w = frame.GetSizeX(), h = frame.GetSizeY();
  if (slice >= frame.GetSizeZ())
    throw ToolError(kExitUsage, "slice " + std::to_string(slice) + " is not in the frame (0-" +
                                    std::to_string(frame.GetSizeZ() - 1) + ")");
  const unsigned short* grey = frame.begin() + slice * w * h;
  const unsigned short* label = labels ? labels->begin() + slice * w * h : nullptr;
  const Stretch s = FindStretch(grey, w * h);
  RgbPicture picture;
  picture.width = static_cast<uint32_t>(2 * w);
  picture.height = static_cast<uint32_t>(h);
  picture.rgb.resize(static_cast<size_t>(2 * w * h * 3));
  for (uint64_t y = 0; y < h; ++y)
    for (uint64_t x = 0; x < w; ++x) {
      const double t = std::clamp((grey[y * w + x] - s.low) / (s.high - s.low), 0.0, 1.0);
      const auto g = static_cast<uint8_t>(std::lround(255.0 * t));
      uint8_t* left = &picture.rgb[(y * 2 * w + x) * 3];
      uint8_t* right = left + w * 3;
      for (int c = 0; c < 3; ++c) left[c] = right[c] = g;
      if (label && OnOutline(label, x, y, w, h)) LabelColour(label[y * w + x], right);
    }
  return picture;
}

}  // namespace trel::tool
