// Flood fill over the flat index offsets of a neighbourhood: a voxel takes the new value when it
// is put on the work list, so no voxel is listed twice and no visited mask is needed.
#include "voxa/flood_fill.h"

#include <string>
#include <vector>

#include "regions/neighbour_offsets.h"
#include "voxa/exceptions.h"

namespace voxa {

template <class T>
void FloodFill(Image3d<T>& image, T value, uint64_t seed, const Neighbourhood& nb) {
  if (seed >= image.GetImageSize())
    throw InternalException("FloodFill: the seed index " + std::to_string(seed) +
                            " lies outside the image of " + std::to_string(image.GetImageSize()) +
                            " voxels");
  T* data = image.begin();
  const T old = data[seed];
  if (old == value) return;
  const Vector3d<uint64_t> size = image.GetSize();
  const std::vector<detail::FlatOffset> offsets = detail::EffectiveOffsets(nb, size);
  const uint64_t X = size[0], Y = size[1];
  std::vector<uint64_t> work{seed};
  data[seed] = value;
  while (!work.empty()) {
    const uint64_t index = work.back();
    work.pop_back();
    const uint64_t x = index % X, y = (index / X) % Y, z = index / (X * Y);
    for (const detail::FlatOffset& o : offsets) {
      if (!detail::InsideAfterStep(o, x, y, z, size)) continue;
      const uint64_t next = index + static_cast<uint64_t>(o.delta);
      if (data[next] != old) continue;
      data[next] = value;
      work.push_back(next);
    }
  }
}

template VOXA_ALGO_API void FloodFill<bool>(Image3d<bool>&, bool, uint64_t, const Neighbourhood&);
template VOXA_ALGO_API void FloodFill<unsigned char>(Image3d<unsigned char>&, unsigned char,
                                                     uint64_t, const Neighbourhood&);
template VOXA_ALGO_API void FloodFill<unsigned short>(Image3d<unsigned short>&, unsigned short,
                                                      uint64_t, const Neighbourhood&);

}  // namespace voxa
