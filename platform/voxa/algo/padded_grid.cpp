// PaddedGrid: sizes of the padded grid and flat neighbourhood offsets on it.
#include "padded_grid.h"

namespace voxa::algo {

PaddedGrid::PaddedGrid(uint64_t nx, uint64_t ny, uint64_t nz)
    : nx_(nx),
      ny_(ny),
      nz_(nz),
      z_pad_(nz > 1 ? 1 : 0),
      px_(nx + 2),
      py_(ny + 2),
      pz_(nz > 1 ? nz + 2 : nz) {}

std::vector<ptrdiff_t> PaddedGrid::Offsets(const Neighbourhood& nb) const {
  std::vector<ptrdiff_t> offsets;
  offsets.reserve(nb.Size());
  const ptrdiff_t sx = 1, sy = static_cast<ptrdiff_t>(px_), sz = static_cast<ptrdiff_t>(px_ * py_);
  for (const Offset3d& o : nb.Offsets()) offsets.push_back(o.dx * sx + o.dy * sy + o.dz * sz);
  return offsets;
}

const Neighbourhood& PaddedGrid::FaceNeighbourhood() const {
  return IsStack() ? nb3D_6 : nb2D_4;
}

const Neighbourhood& PaddedGrid::FullNeighbourhood() const {
  return IsStack() ? nb3D_26 : nb2D_8;
}

}  // namespace voxa::algo
