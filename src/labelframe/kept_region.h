// The test that decides whether a region may stay in the label image: it must have at least
// min_size voxels and its bounding box must not lie wholly within the border margin at the left,
// right, top or bottom edge. z is never tested. Arithmetic is unsigned 64-bit throughout, so a
// border wider than the image discards every region (x0 + w < border always holds).
#pragma once

#include <cstdint>

#include "voxa/voi.h"

namespace trel {

inline bool IsKeptRegion(const voxa::VOI<uint64_t>& box, uint64_t volume, uint64_t width,
                         uint64_t height, uint64_t min_size, uint64_t border) {
  const uint64_t x0 = box.offset[0], y0 = box.offset[1], w = box.size[0], h = box.size[1];
  return volume >= min_size && x0 <= width - border && x0 + w >= border && y0 <= height - border &&
         y0 + h >= border;
}

}  // namespace trel
