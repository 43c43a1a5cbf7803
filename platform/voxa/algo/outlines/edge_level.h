// Outlines at their own edge. The Chan-Vese force puts a label's outline where a voxel is as
// near the label's mean as the background's; a nucleus whose values fall off towards its rim, or
// whose surroundings are brighter than the background at large (haze, an uneven field), then
// ends up too large or too small. This step compares every label with its own surroundings
// instead: it takes the mean of the label's voxels a few steps inside its outline and of the
// background a few steps outside, and moves the outline, within that shell, to a level between
// the two. A nucleus' outline is a step that the optics blur over a few voxels, and its level
// lies between the values on either side of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "padded_grid.h"

namespace voxa::algo {

// Outlines move at most this many voxels to the level of their own edge (EdgeLevel), measured
// over the layers from kEdgeRingFrom on: a nucleus' edge is a step blurred over a few voxels.
// kEdgeLevel is the share of the way from the outside level to the inside one. On the speed
// image's lifted scale, 0.6 lies at about 40 % of a typical nucleus' contrast in grey values:
// between the half level of the blurred step (50 %) and the outlines annotators draw on real
// data (about 30 %).
constexpr int kEdgeReach = 3;
constexpr int kEdgeRingFrom = 2;
constexpr float kEdgeLevel = 0.6f;
// An edge less than this many standard deviations of the background high is not followed: the
// noise would decide on which side of its level each voxel falls, and the outline would fray.
constexpr float kMinEdgeNoiseMultiple = 2.0f;

class EdgeLevel {
 public:
  // `reach`: how many face steps on either side of an outline may change side; the rings that
  // give the inside and outside levels are the layers from `ring_from` to `reach`. `level`: where
  // the outline goes between the outside level (0) and the inside one (1).
  EdgeLevel(const PaddedGrid& grid, int reach, int ring_from, float level);

  // The (padded index, new label) of every voxel of `labels` whose label changes, with `values`
  // the grey values (both one entry per padded voxel; 0 is background and padding). A label
  // changes only where its shell and its rings are there to measure and its inside level lies
  // more than `min_step` above its outside one: it keeps its voxels deeper than the shell, and it
  // grows only into background voxels that are nearer to it than to any other label and touch no
  // other label, so labels never merge. Cost: two passes over the grid and breadth-first
  // passes over the shells.
  std::vector<std::pair<size_t, unsigned short>> Relabel(const std::vector<unsigned short>& labels,
                                                         const std::vector<float>& values,
                                                         float min_step) const;

 private:
  struct Shell {
    std::vector<size_t> voxels;         // inside layers first, then outside ones
    std::vector<uint8_t> depth;         // face steps from the outline, 1 next to it; see .cpp
    std::vector<unsigned short> owner;  // the label an outside voxel is nearest to
  };
  struct Levels {
    std::vector<float> level;     // per label
    std::vector<uint8_t> usable;  // per label: rings measured and a core to grow from
  };

  Shell FindShell(const std::vector<unsigned short>& labels) const;
  Levels MeasureLevels(const std::vector<unsigned short>& labels, const std::vector<float>& values,
                       const Shell& shell, float min_step) const;
  // Whether a background voxel of `label`'s outside shell touches another label, as it is or
  // as the other label's shell might grow.
  bool TouchesOther(const std::vector<unsigned short>& labels, const Shell& shell, size_t p,
                    unsigned short label) const;

  const PaddedGrid& grid_;
  uint8_t reach_, ring_from_;
  float level_;
  std::vector<ptrdiff_t> face_, full_;
};

}  // namespace voxa::algo
