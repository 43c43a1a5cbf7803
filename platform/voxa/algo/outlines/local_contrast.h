// Objects stand out of their own surroundings. A segmentation split by one global level takes in
// whatever lies above it: faint haze, an uneven field, the brighter half of the noise of an empty
// frame. A piece of a label (its voxels connected through the full neighbourhood) is kept only
// where its mean lies well above the values just outside it, measured in the spread of those
// values: the local noise, whatever the frame's brightness, offset, bit depth or bleaching.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "padded_grid.h"
#include "voxa/image3d.h"

namespace voxa::algo {

// The ring that measures a piece's surroundings: the background layers kLocalRingFrom to
// kLocalRingTo face steps out from it, past the blurred tail of its rim, whose slope would pass
// for noise, and near enough to share its haze.
constexpr int kLocalRingFrom = 4;
constexpr int kLocalRingTo = 10;
// Pieces are judged on values smoothed by a Gaussian of this many voxels (and the same physical
// width along z): at that scale a piece of noise, which a split selects for being bright, stands
// a few spreads out of its ring whatever its size, and an object as many more as it is larger
// than the noise's grain. The spreads of unsmoothed and of smoothed input thus compare alike.
constexpr double kLocalScale = 1.0;
// A piece whose mean lies less than this many local spreads above the median of its ring is
// noise or haze. The ring's spread holds, besides the noise, the texture and the tails of
// neighbouring objects, so the multiple lies a little below the three of a bare noise model:
// at 3, nuclei 2.5 noise standard deviations above their background began to go.
constexpr float kMinLocalContrast = 2.5f;

// `image` smoothed at kLocalScale, one value per padded voxel of `grid` (0 in the padding),
// smoothed on up to `threads` threads.
std::vector<float> JudgedValues(const Image3d<float>& image, const PaddedGrid& grid,
                                unsigned threads = 1);

class LocalContrast {
 public:
  // What goes of a faint piece: all of it, or only its voxels below the level it fails to reach,
  // so that the part that does stand out stays (a nucleus that a split joined to the haze around
  // it), to be judged again once its outline has settled.
  enum class Faint { kWhole, kBelowLevel };

  // The pieces are measured on up to `threads` threads; the result does not depend on how many.
  LocalContrast(const PaddedGrid& grid, int ring_from, int ring_to, unsigned threads = 1);

  // The padded indices of the voxels to erase from the faint pieces of `labels` (0 is background;
  // padding voxels are 0 too), judged on `values` (one per padded voxel). A piece is faint when its
  // mean lies less than `min_contrast` robust spreads of its ring above the ring's median (a
  // piece larger than its ring: above the frame's median too). Pieces whose
  // ring is too small to measure stay. Cost: a few passes over the grid.
  std::vector<size_t> FaintVoxels(const std::vector<unsigned short>& labels,
                                  const std::vector<float>& values, float min_contrast,
                                  Faint faint) const;

 private:
  struct Rings {
    // Per padded voxel: a labelled one's piece (1-based); a background one's nearest piece within
    // the ring's reach, 0 for none.
    std::vector<uint32_t> id;
    std::vector<uint8_t> depth;  // per padded voxel: its layer outside the pieces, 0 none
    uint32_t pieces = 0;
  };

  Rings FindRings(const std::vector<unsigned short>& labels) const;
  float FrameMedian(const std::vector<float>& values) const;
  // Per piece of `labels` (found into `rings`): the level its mean fails to reach when it is
  // faint, -infinity when it stands out.
  std::vector<float> Levels(const std::vector<unsigned short>& labels,
                            const std::vector<float>& values, float min_contrast,
                            Rings& rings) const;

  const PaddedGrid& grid_;
  int ring_from_, ring_to_;
  unsigned threads_;
  std::vector<ptrdiff_t> face_, full_;
};

}  // namespace voxa::algo
