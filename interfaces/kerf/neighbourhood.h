// Neighbourhood<N, int>: the grid offsets that join a node to its neighbours, as an array of
// vectors. Common(size) builds the standard sets: 4, 8, 16, 32 neighbours in 2D (the 16 and 32
// sets add knight-move and longer directions for finer angular resolution of cut lengths) and 6,
// 18, 26 (faces, edges, corners of the unit cube) and 98 (all primitive offsets of the 5x5x5 box)
// in 3D. Every offset is followed by its opposite.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <numeric>
#include <string>

#include "kerf/array.h"
#include "kerf/array_builder.h"
#include "kerf/exceptions.h"
#include "kerf/type_name.h"
#include "kerf/vector.h"

namespace Kerf::Energy {

// Line reported when Common refuses a size; part of the library's published error reports.
inline constexpr int kNeighbourhoodCommonLine = 343;

template <size_t N, class T = int>
class Neighbourhood : public System::Collection::Array<1, Math::Algebra::Vector<N, T>> {
  static_assert(N == 2 || N == 3, "grid neighbourhoods are planar or spatial");

 public:
  using Offset = Math::Algebra::Vector<N, T>;
  using Base = System::Collection::Array<1, Offset>;

  // Fills the neighbourhood with the standard set of `size` offsets, preceded by the origin
  // when include_origin is true, and returns it. Throws ArgumentException for any other size.
  Neighbourhood& Common(size_t size, bool include_origin) {
    if constexpr (N == 2)
      CommonPlanar(size, include_origin);
    else
      CommonSpatial(size, include_origin);
    return *this;
  }

  // "Kerf::Energy::Neighbourhood<N,T>::method".
  static std::string MethodName(const char* method) {
    return System::TemplateName("Kerf::Energy::Neighbourhood",
                                std::to_string(N) + "," + System::TypeName<T>::Get()) +
           "::" + method;
  }

 private:
  // Half of the largest planar set: each pair (a, b) stands for its four rotations by 90 degrees.
  static constexpr int kPlanarPairs[8][2] = {{1, 0}, {3, 1}, {2, 1}, {3, 2},
                                             {1, 1}, {2, 3}, {1, 2}, {1, 3}};
  static constexpr size_t kLargestPlanar = 32;
  // Faces, then edges, then corners of the unit cube, each offset followed by its opposite.
  static constexpr int kCubeOffsets[26][3] = {
      {1, 0, 0},   {-1, 0, 0},  {0, 1, 0},   {0, -1, 0}, {0, 0, 1},   {0, 0, -1},   {1, 1, 0},
      {-1, -1, 0}, {-1, 1, 0},  {1, -1, 0},  {1, 0, 1},  {-1, 0, -1}, {-1, 0, 1},   {1, 0, -1},
      {0, 1, 1},   {0, -1, -1}, {0, -1, 1},  {0, 1, -1}, {1, 1, 1},   {-1, -1, -1}, {-1, 1, 1},
      {1, -1, -1}, {1, -1, 1},  {-1, 1, -1}, {1, 1, -1}, {-1, -1, 1}};
  // The 5x5x5 box whose primitive offsets make the largest spatial set.
  static constexpr int kBoxRadius = 2;
  static constexpr size_t kBoxPositions = 125;
  static constexpr size_t kBoxSet = 98;

  [[noreturn]] static void RefuseSize() {
    throw System::ArgumentException(MethodName("Common").c_str(), kNeighbourhoodCommonLine,
                                    "Unexpected neighbourhood size.");
  }

  void Start(size_t size, bool include_origin, size_t& next) {
    Base::Resize(Math::Algebra::Vector<1, size_t>(size + (include_origin ? 1 : 0)));
    next = 0;
    if (include_origin) (*this)[next++] = Offset();
  }

  void CommonPlanar(size_t size, bool include_origin) requires(N == 2) {
    if (size != 4 && size != 8 && size != 16 && size != 32) RefuseSize();
    size_t next = 0;
    Start(size, include_origin, next);
    for (size_t i = 0; i < 8; i += kLargestPlanar / size) {
      const T a = kPlanarPairs[i][0], b = kPlanarPairs[i][1];
      (*this)[next++] = Offset(a, b);
      (*this)[next++] = Offset(-a, -b);
      (*this)[next++] = Offset(-b, a);
      (*this)[next++] = Offset(b, -a);
    }
  }

  void CommonSpatial(size_t size, bool include_origin) requires(N == 3) {
    if (size == kBoxSet) return CommonBox(include_origin);
    if (size != 6 && size != 18 && size != 26) RefuseSize();
    size_t next = 0;
    Start(size, include_origin, next);
    for (size_t i = 0; i < size; ++i)
      (*this)[next++] = Offset(kCubeOffsets[i][0], kCubeOffsets[i][1], kCubeOffsets[i][2]);
  }

  // The offsets of the box whose components have greatest common divisor 1, x fastest: the
  // others repeat a shorter direction of the set.
  void CommonBox(bool include_origin) requires(N == 3) {
    System::Collection::ArrayBuilder<Offset> kept;
    kept.Enlarge(kBoxPositions);
    for (int z = -kBoxRadius; z <= kBoxRadius; ++z)
      for (int y = -kBoxRadius; y <= kBoxRadius; ++y)
        for (int x = -kBoxRadius; x <= kBoxRadius; ++x) {
          if (x == 0 && y == 0 && z == 0) continue;
          const int g = std::gcd(std::gcd(std::abs(x), std::abs(y)), std::abs(z));
          if (g == 1) kept.Add(Offset(x, y, z));
        }
    size_t next = 0;
    Start(kept.Count(), include_origin, next);
    for (size_t i = 0; i < kept.Count(); ++i) (*this)[next++] = kept[i];
    kept.Release();
  }
};

}  // namespace Kerf::Energy
