// A fixed triple of values, used for voxel sizes, positions and resolutions (x, y, z).
#pragma once

#include <cstddef>

namespace voxa {

template <class T>
struct Vector3d {
  T v[3] = {T(0), T(0), T(0)};

  constexpr Vector3d() = default;
  constexpr Vector3d(T x, T y, T z) : v{x, y, z} {}

  constexpr T& operator[](size_t i) { return v[i]; }
  constexpr const T& operator[](size_t i) const { return v[i]; }

  constexpr Vector3d& operator+=(const Vector3d& o) {
    for (size_t i = 0; i < 3; ++i) v[i] += o.v[i];
    return *this;
  }
  friend constexpr bool operator==(const Vector3d& a, const Vector3d& b) {
    return a.v[0] == b.v[0] && a.v[1] == b.v[1] && a.v[2] == b.v[2];
  }
};

}  // namespace voxa
