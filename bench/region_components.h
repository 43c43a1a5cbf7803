// Connected regions of a mask for the benchmarks and the quality tool: each region of true voxels
// under the full neighbourhood (8 in a plane, 26 in a stack) gets its own label, in raster order
// of the first voxel. A plain stack-based flood fill, good enough outside the library.
#pragma once

#include <cstdint>
#include <vector>

#include "voxa/image3d.h"
#include "voxa/neighbourhood.h"

namespace trel::bench {

// Calls visit(voxel indices of one region) for every region of the voxels where member(i).
template <class Member, class Visit>
void ForEachRegion(uint64_t nx, uint64_t ny, uint64_t nz, Member member, Visit visit) {
  const std::vector<voxa::Offset3d>& nb = (nz > 1 ? voxa::nb3D_26 : voxa::nb2D_8).Offsets();
  std::vector<char> seen(nx * ny * nz, 0);
  std::vector<uint64_t> voxels, stack;
  for (uint64_t s = 0; s < seen.size(); ++s) {
    if (seen[s] || !member(s)) continue;
    voxels.clear();
    stack.assign(1, s);
    seen[s] = 1;
    while (!stack.empty()) {
      const uint64_t p = stack.back();
      stack.pop_back();
      voxels.push_back(p);
      const int64_t x = p % nx, y = (p / nx) % ny, z = p / (nx * ny);
      for (const voxa::Offset3d& o : nb) {
        const int64_t qx = x + o.dx, qy = y + o.dy, qz = z + o.dz;
        if (qx < 0 || qy < 0 || qz < 0 || qx >= int64_t(nx) || qy >= int64_t(ny) ||
            qz >= int64_t(nz))
          continue;
        const uint64_t q = (uint64_t(qz) * ny + uint64_t(qy)) * nx + uint64_t(qx);
        if (!seen[q] && member(q)) {
          seen[q] = 1;
          stack.push_back(q);
        }
      }
    }
    visit(voxels);
  }
}

// The regions of `mask` with at least `min_size` voxels as labels 1, 2, ...; returns the count.
inline unsigned LabelRegions(const voxa::Image3d<bool>& mask, uint64_t min_size,
                             voxa::Image3d<unsigned short>& labels) {
  labels.MakeRoom(mask.GetSizeX(), mask.GetSizeY(), mask.GetSizeZ());
  labels.SetAllVoxels(0);
  unsigned next = 0;
  ForEachRegion(
      mask.GetSizeX(), mask.GetSizeY(), mask.GetSizeZ(),
      [&](uint64_t i) { return mask.GetVoxel(i); },
      [&](const std::vector<uint64_t>& region) {
        if (region.size() < min_size || next == 65535) return;
        ++next;
        for (const uint64_t v : region) labels.SetVoxel(v, static_cast<unsigned short>(next));
      });
  return next;
}

}  // namespace trel::bench
