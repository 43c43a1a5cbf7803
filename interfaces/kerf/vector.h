// Vector<N, T>: N components of type T held by value, component 0 being x, 1 y, 2 z. Used for
// voxel spacings, array dimensions and grid offsets.
#pragma once

#include <cstddef>
#include <type_traits>

namespace Kerf::Math::Algebra {

template <size_t N, class T>
class Vector {
 public:
  // All components zero.
  constexpr Vector() : m_data{} {}
  // One value per component, in order; a one-component vector is never built implicitly.
  template <class... A>
  requires(sizeof...(A) == N && (std::is_convertible_v<A, T> && ...)) constexpr explicit(N == 1)
      Vector(A... values)
      : m_data{static_cast<T>(values)...} {}

  static constexpr size_t Size() { return N; }
  constexpr T& operator[](size_t i) { return m_data[i]; }
  constexpr const T& operator[](size_t i) const { return m_data[i]; }

  friend constexpr bool operator==(const Vector& a, const Vector& b) {
    for (size_t i = 0; i < N; ++i)
      if (!(a.m_data[i] == b.m_data[i])) return false;
    return true;
  }

 private:
  T m_data[N];
};

}  // namespace Kerf::Math::Algebra
