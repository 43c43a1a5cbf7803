// Label frames for tests: a frame of the given dimension and parameters whose image is drawn
// from text, and the hundred-voxel layout that puts regions at the limits of a border margin.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "labelframe/label_frame.h"
#include "support/test_support.h"

namespace trel::testing {

struct FrameParameters {
  uint64_t min_size = 0;
  uint64_t overlap = 0;
  uint64_t border = 0;
};

// A frame holding the drawn labels, with last_label the highest of them.
inline LabelFrame DrawnFrame(Dimension dimension, const std::vector<std::string>& rows,
                             FrameParameters p = {}) {
  LabelFrame frame(dimension, p.min_size, p.overlap, p.border);
  static_cast<voxa::Image3d<unsigned short>&>(frame) = Draw<unsigned short>(rows);
  frame.last_label = frame.IsEmpty() ? 0 : *std::max_element(frame.begin(), frame.end());
  return frame;
}

// The rows of a stack drawn slice by slice, for Draw.
inline std::vector<std::string> Stack(const std::vector<std::vector<std::string>>& slices) {
  std::vector<std::string> rows;
  for (const auto& slice : slices) {
    if (!rows.empty()) rows.push_back("");
    rows.insert(rows.end(), slice.begin(), slice.end());
  }
  return rows;
}

// A box of voxels set to `value`.
template <class T>
void Fill(voxa::Image3d<T>& image, uint64_t x0, uint64_t y0, uint64_t w, uint64_t h, T value) {
  for (uint64_t y = y0; y < y0 + h; ++y)
    for (uint64_t x = x0; x < x0 + w; ++x) image.SetVoxel(x, y, 0, value);
}

// A 100 x 100 image with eight 10-voxel-long bars against the edges, for a border margin of 5:
// along x, columns 0-3 (out), 0-4 (in), 96-99 (out), 95-99 (in); along y, rows 0-3 (out), 0-4
// (in), 96-99 (out), 95-99 (in). In raster order of their first voxels the bars come as
// top-out, top-in, left-out, right-out, left-in, right-in, bottom-in, bottom-out; the image
// holds the 1-based position of each bar in that order.
constexpr uint64_t kBorderImageSize = 100;
constexpr uint64_t kBorderMargin = 5;
inline voxa::Image3d<unsigned short> BorderBars() {
  voxa::Image3d<unsigned short> image;
  image.MakeRoom(kBorderImageSize, kBorderImageSize, 1);
  image.SetAllVoxels(0);
  Fill<unsigned short>(image, 40, 0, 10, 4, 1);   // top, rows 0-3: out
  Fill<unsigned short>(image, 60, 0, 10, 5, 2);   // top, rows 0-4: in
  Fill<unsigned short>(image, 0, 20, 4, 10, 3);   // left, columns 0-3: out
  Fill<unsigned short>(image, 96, 20, 4, 10, 4);  // right, columns 96-99: out
  Fill<unsigned short>(image, 0, 40, 5, 10, 5);   // left, columns 0-4: in
  Fill<unsigned short>(image, 95, 40, 5, 10, 6);  // right, columns 95-99: in
  Fill<unsigned short>(image, 60, 95, 10, 5, 7);  // bottom, rows 95-99: in
  Fill<unsigned short>(image, 40, 96, 10, 4, 8);  // bottom, rows 96-99: out
  return image;
}

// The value of each bar (by its position in BorderBars) in `image`.
inline std::vector<unsigned short> BarValues(const voxa::Image3d<unsigned short>& image) {
  const uint64_t at[8][2] = {{40, 0}, {60, 0},  {0, 20},  {96, 20},
                             {0, 40}, {95, 40}, {60, 95}, {40, 96}};
  std::vector<unsigned short> values;
  for (const auto& p : at) values.push_back(image.GetVoxel(p[0], p[1], 0));
  return values;
}

}  // namespace trel::testing
