// The padded index space of grid graphs: padding widths from the largest offsets, linear deltas
// for every direction and the index of each direction's reverse.
#include "grid_geometry.h"

#include <algorithm>
#include <cstdlib>

#include "kerf/exceptions.h"

namespace Kerf::Flow::Grid::detail {

namespace {

// Node indices are 32-bit in the solvers' queues.
constexpr size_t kMaxPaddedNodes = UINT32_MAX;

[[noreturn]] void Refuse(const char* method, int line, const char* message) {
  throw System::ArgumentException(method, line, message);
}

GridGeometry::Offset Opposite(const GridGeometry::Offset& o) {
  return {-o[0], -o[1], -o[2]};
}

}  // namespace

GridGeometry::GridGeometry(const char* method, const std::array<size_t, kAxes>& dims,
                           const std::vector<Offset>& offsets)
    : dims_(dims), given_(offsets.size()), offsets_(offsets) {
  if (dims[0] == 0 || dims[1] == 0 || dims[2] == 0)
    Refuse(method, __LINE__, "The grid must have at least one node along every axis.");
  if (offsets.empty()) Refuse(method, __LINE__, "The neighbourhood must not be empty.");
  for (size_t k = 0; k < offsets.size(); ++k) {
    if (offsets[k] == Offset{0, 0, 0})
      Refuse(method, __LINE__, "The neighbourhood must not contain the origin.");
    if (std::find(offsets.begin(), offsets.begin() + k, offsets[k]) != offsets.begin() + k)
      Refuse(method, __LINE__, "The neighbourhood must not repeat an offset.");
  }
  for (size_t k = 0; k < given_; ++k)
    if (std::find(offsets_.begin(), offsets_.end(), Opposite(offsets[k])) == offsets_.end())
      offsets_.push_back(Opposite(offsets[k]));
  if (offsets_.size() > kMaxDirections)
    Refuse(method, __LINE__, "The neighbourhood has too many offsets.");

  double padded = 1;
  for (size_t a = 0; a < kAxes; ++a) {
    for (const Offset& o : offsets_) pad_[a] = std::max<size_t>(pad_[a], std::abs(o[a]));
    padded_dims_[a] = dims[a] + 2 * pad_[a];
    padded *= static_cast<double>(padded_dims_[a]);
  }
  if (padded >= static_cast<double>(kMaxPaddedNodes))
    Refuse(method, __LINE__, "The grid is too large for the solver.");
  nodes_ = dims[0] * dims[1] * dims[2];
  padded_nodes_ = padded_dims_[0] * padded_dims_[1] * padded_dims_[2];

  for (const Offset& o : offsets_)
    delta_.push_back((static_cast<int64_t>(o[2]) * static_cast<int64_t>(padded_dims_[1]) + o[1]) *
                         static_cast<int64_t>(padded_dims_[0]) +
                     o[0]);
  for (const Offset& o : offsets_)
    sister_.push_back(static_cast<uint8_t>(
        std::find(offsets_.begin(), offsets_.end(), Opposite(o)) - offsets_.begin()));
}

size_t GridGeometry::Padded(size_t node) const {
  const size_t x = node % dims_[0];
  const size_t rest = node / dims_[0];
  return Padded3(x, rest % dims_[1], rest / dims_[1]);
}

size_t GridGeometry::NodeOf(size_t padded) const {
  const size_t x = padded % padded_dims_[0] - pad_[0];
  const size_t rest = padded / padded_dims_[0];
  const size_t y = rest % padded_dims_[1] - pad_[1];
  const size_t z = rest / padded_dims_[1] - pad_[2];
  return (z * dims_[1] + y) * dims_[0] + x;
}

void GridGeometry::InsideRange(size_t y, size_t z, size_t k, size_t& begin, size_t& end) const {
  const Offset& o = offsets_[k];
  const int64_t ny = static_cast<int64_t>(y) + o[1], nz = static_cast<int64_t>(z) + o[2];
  const int64_t x_size = static_cast<int64_t>(dims_[0]);
  begin = end = 0;
  if (ny < 0 || ny >= static_cast<int64_t>(dims_[1]) || nz < 0 ||
      nz >= static_cast<int64_t>(dims_[2]))
    return;
  const int64_t lo = std::max<int64_t>(0, -o[0]), hi = std::min<int64_t>(x_size, x_size - o[0]);
  if (lo >= hi) return;
  begin = static_cast<size_t>(lo);
  end = static_cast<size_t>(hi);
}

}  // namespace Kerf::Flow::Grid::detail
