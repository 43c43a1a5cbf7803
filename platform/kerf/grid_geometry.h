// The index space of a grid graph: the caller's nodes (x fastest) embedded in a grid padded on
// every side by the largest offset along that axis, so that a node's neighbour along any
// direction is node + delta[k] without a bounds test; padding nodes carry no capacity and never
// join a search tree. Directions are the neighbourhood's offsets followed by the opposites that
// it lacks, so that every edge has its reverse.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kerf/neighbourhood.h"
#include "kerf/vector.h"

namespace Kerf::Flow::Grid::detail {

class GridGeometry {
 public:
  static constexpr size_t kAxes = 3;  // planar grids have a third axis of size 1
  using Offset = std::array<int, kAxes>;
  // Directions are stored in a byte next to three markers (terminal, orphan, none).
  static constexpr size_t kMaxDirections = 250;

  GridGeometry() = default;
  // Throws ArgumentException (named after `method`) for a zero axis, no offsets, a zero or
  // repeated offset, too many directions, or a padded grid whose node indices pass 32 bits.
  GridGeometry(const char* method, const std::array<size_t, kAxes>& dims,
               const std::vector<Offset>& offsets);

  size_t Nodes() const { return nodes_; }
  size_t PaddedNodes() const { return padded_nodes_; }
  // Offsets given by the caller, then the opposites that were missing.
  size_t GivenDirections() const { return given_; }
  size_t Directions() const { return delta_.size(); }
  const int64_t* Deltas() const { return delta_.data(); }
  const uint8_t* Sisters() const { return sister_.data(); }
  const Offset& DirectionOffset(size_t k) const { return offsets_[k]; }
  const std::array<size_t, kAxes>& Dims() const { return dims_; }

  // Padded index of a node, and back. Cost: a few divisions.
  size_t Padded(size_t node) const;
  size_t NodeOf(size_t padded) const;
  // The x range [begin, end) of the row (y, z) whose nodes have their neighbour along k inside
  // the grid; empty when the row's neighbour row lies outside.
  void InsideRange(size_t y, size_t z, size_t k, size_t& begin, size_t& end) const;

  // Calls f(begin, end) for runs of padding nodes that together cover all of them.
  template <class F>
  void ForEachPaddingRun(F&& f) const {
    const size_t row = padded_dims_[0];
    for (size_t z = 0; z < padded_dims_[2]; ++z)
      for (size_t y = 0; y < padded_dims_[1]; ++y) {
        const size_t start = (z * padded_dims_[1] + y) * row;
        const bool real_row =
            y >= pad_[1] && y < pad_[1] + dims_[1] && z >= pad_[2] && z < pad_[2] + dims_[2];
        if (!real_row) {
          f(start, start + row);
        } else {
          f(start, start + pad_[0]);
          f(start + pad_[0] + dims_[0], start + row);
        }
      }
  }

  // Calls f(node, padded, y, z) with the first node of every row (y, z), in node order.
  template <class F>
  void ForEachRow(F&& f) const {
    size_t node = 0;
    for (size_t z = 0; z < dims_[2]; ++z)
      for (size_t y = 0; y < dims_[1]; ++y, node += dims_[0]) f(node, Padded3(0, y, z), y, z);
  }

  // Calls f(node, padded, x, y, z) for every node in node order.
  template <class F>
  void ForEachNode(F&& f) const {
    size_t node = 0;
    for (size_t z = 0; z < dims_[2]; ++z)
      for (size_t y = 0; y < dims_[1]; ++y) {
        size_t padded = Padded3(0, y, z);
        for (size_t x = 0; x < dims_[0]; ++x) f(node++, padded++, x, y, z);
      }
  }

 private:
  size_t Padded3(size_t x, size_t y, size_t z) const {
    return ((z + pad_[2]) * padded_dims_[1] + (y + pad_[1])) * padded_dims_[0] + (x + pad_[0]);
  }

  std::array<size_t, kAxes> dims_{};
  std::array<size_t, kAxes> pad_{};
  std::array<size_t, kAxes> padded_dims_{};
  size_t nodes_ = 0;
  size_t padded_nodes_ = 0;
  size_t given_ = 0;
  std::vector<Offset> offsets_;
  std::vector<int64_t> delta_;
  std::vector<uint8_t> sister_;
};

// The geometry of an N-dimensional grid and neighbourhood, planar grids getting a third axis of
// size 1.
template <size_t N>
GridGeometry MakeGeometry(const char* method, const Math::Algebra::Vector<N, size_t>& dims,
                          const Energy::Neighbourhood<N, int>& nb) {
  std::array<size_t, GridGeometry::kAxes> size{1, 1, 1};
  for (size_t a = 0; a < N; ++a) size[a] = dims[a];
  std::vector<GridGeometry::Offset> offsets(nb.Elems(), GridGeometry::Offset{0, 0, 0});
  for (size_t k = 0; k < nb.Elems(); ++k)
    for (size_t a = 0; a < N; ++a) offsets[k][a] = nb[k][a];
  return GridGeometry(method, size, offsets);
}

}  // namespace Kerf::Flow::Grid::detail
