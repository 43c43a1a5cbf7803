// The first differing face neighbour (see differing_neighbour_label.h), addressed by linear
// offsets 1, X and X * Y from the voxel.
#include "labelframe/differing_neighbour_label.h"

namespace trel {

uint16_t DifferingNeighbourLabel(const voxa::Image3d<unsigned short>& image, uint64_t x, uint64_t y,
                                 uint64_t z) {
  const uint64_t X = image.GetSizeX(), Y = image.GetSizeY(), Z = image.GetSizeZ();
  const unsigned short* data = image.begin();
  const uint64_t index = image.Index(x, y, z);
  const uint16_t own = data[index];
  const uint64_t row = X, slice = X * Y;
  // In the order -x, +x, -y, +y, -z, +z: whether the neighbour exists, and where it lies.
  const bool exists[6] = {x > 0, x + 1 < X, y > 0, y + 1 < Y, z > 0, z + 1 < Z};
  const uint64_t at[6] = {index - 1,   index + 1,     index - row,
                          index + row, index - slice, index + slice};
  for (int k = 0; k < 6; ++k) {
    if (!exists[k]) continue;
    const uint16_t other = data[at[k]];
    if (other != 0 && other != own) return other;
  }
  return own;
}

}  // namespace trel
