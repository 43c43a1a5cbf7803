// The standard neighbourhoods, in the order (-x, +x, -y, +y, -z, +z) for the face neighbours
// followed by the diagonal ones in raster order.
#include "voxa/neighbourhood.h"

#include <utility>

namespace voxa {

Neighbourhood::Neighbourhood(std::vector<Offset3d> offsets) : offsets_(std::move(offsets)) {}

bool Neighbourhood::Is3D() const {
  for (const Offset3d& o : offsets_)
    if (o.dz != 0) return true;
  return false;
}

namespace {

std::vector<Offset3d> FullBox(int dz_range) {
  std::vector<Offset3d> faces = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}};
  if (dz_range) {
    faces.push_back({0, 0, -1});
    faces.push_back({0, 0, 1});
  }
  std::vector<Offset3d> all = faces;
  for (int dz = -dz_range; dz <= dz_range; ++dz)
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const int nonzero = (dx != 0) + (dy != 0) + (dz != 0);
        if (nonzero >= 2) all.push_back({dx, dy, dz});
      }
  return all;
}

}  // namespace

const Neighbourhood nb2D_4({{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}});
const Neighbourhood nb2D_8(FullBox(0));
const Neighbourhood nb3D_6({{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}});
const Neighbourhood nb3D_26(FullBox(1));

}  // namespace voxa
