// Effective neighbourhood offsets for one image size (see neighbour_offsets.h).
#include "regions/neighbour_offsets.h"

#include <algorithm>

namespace voxa::detail {

namespace {

bool LeavesThePlane(const Offset3d& o, const Vector3d<uint64_t>& size) {
  return o.dz != 0 && size[2] == 1;
}

void AddOnce(std::vector<FlatOffset>& list, int dx, int dy, int dz,
             const Vector3d<uint64_t>& size) {
  const bool known = std::any_of(list.begin(), list.end(), [&](const FlatOffset& f) {
    return f.dx == dx && f.dy == dy && f.dz == dz;
  });
  if (known) return;
  const int64_t X = static_cast<int64_t>(size[0]), Y = static_cast<int64_t>(size[1]);
  list.push_back({dx, dy, dz, (dz * Y + dy) * X + dx});
}

}  // namespace

std::vector<FlatOffset> EffectiveOffsets(const Neighbourhood& nb, const Vector3d<uint64_t>& size) {
  std::vector<FlatOffset> list;
  for (const Offset3d& o : nb.Offsets()) {
    if (LeavesThePlane(o, size) || (o.dx == 0 && o.dy == 0 && o.dz == 0)) continue;
    AddOnce(list, o.dx, o.dy, o.dz, size);
  }
  const size_t own = list.size();
  for (size_t k = 0; k < own; ++k) AddOnce(list, -list[k].dx, -list[k].dy, -list[k].dz, size);
  return list;
}

}  // namespace voxa::detail
