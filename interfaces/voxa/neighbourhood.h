// Grid neighbourhoods as data: a list of (dx, dy, dz) offsets, shared by region labelling, flood
// fill, hole filling and the level-set routines. The four standard ones are constants.
#pragma once

#include <cstddef>
#include <vector>

#include "voxa/export.h"

namespace voxa {

struct Offset3d {
  int dx, dy, dz;
};

class VOXA_CORE_API Neighbourhood {
 public:
  explicit Neighbourhood(std::vector<Offset3d> offsets);

  size_t Size() const { return offsets_.size(); }
  const Offset3d& operator[](size_t i) const { return offsets_[i]; }
  const std::vector<Offset3d>& Offsets() const { return offsets_; }
  // True when some offset leaves the xy plane.
  bool Is3D() const;

 private:
  std::vector<Offset3d> offsets_;
};

// 4- and 8-connectivity in the plane; 6- and 26-connectivity in space.
VOXA_CORE_API extern const Neighbourhood nb2D_4;
VOXA_CORE_API extern const Neighbourhood nb2D_8;
VOXA_CORE_API extern const Neighbourhood nb3D_6;
VOXA_CORE_API extern const Neighbourhood nb3D_26;

}  // namespace voxa
