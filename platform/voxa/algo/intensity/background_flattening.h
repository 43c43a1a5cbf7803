// The slowly varying background of a frame (haze, an uneven field, a gradient, out-of-focus
// light) taken out before segmentation, so that one global split serves the whole frame: per
// block of the frame, a low percentile of its values, interpolated bilinearly between the block
// centres, is subtracted. Blocks are far larger than a nucleus, so that objects, which cover well
// under the percentile's share of a block, do not raise it.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "intensity/intensity_lift.h"

namespace voxa::algo {

// Blocks are an eighth of the frame's larger side across, and at least kMinBlock voxels: a frame
// has room for 8 x 8 background levels, and a small frame is not cut below the size of a cell.
constexpr size_t kBlockFraction = 8;
constexpr size_t kMinBlock = 32;
// The percentile of a block's values that stands for its background: below the noise's median by
// a like amount everywhere, and clear of objects that cover up to four fifths of a block.
constexpr double kBackgroundPercentile = 0.2;

// A background whose block levels span less than this many standard deviations of the noise
// is even: it is left as it is, since a dim nucleus a few grey values above it would lose more
// to the blocks' own error than it gains. The noise comes from the blocks too: for normal noise
// the median lies 0.84 standard deviations above the 20th percentile.
constexpr double kMinUnevenness = 6.0;
constexpr double kPercentileToMedian = 0.8416;

// Rows and columns of an image may carry offsets of their own, narrower than any block (a band
// of light along an edge of the field, the banding of a camera's read-out), or a slow drift
// below the blocks' threshold that a whole line, with hundreds of values, measures well. A line's
// offset is the kLinePercentile of its values, low enough to stay on the background where objects
// cover most of a line, less the median line's. The offsets are taken out when the largest is
// kMinLineOffset noise standard deviations or more; objects covering half a line raise its
// offset by about a third of one, the percentile's own error is a tenth or less.
constexpr double kLinePercentile = 0.05;
constexpr double kMinLineOffset = 1.5;

// The background of the nx * ny * nz values (x fastest) when it is uneven: one level per (x, y),
// blocks spanning every slice, plus in an image the offsets of its rows and of its columns when
// they stand out (unless `line_offsets` is false); empty when it is even. Cost: two selections per
// block, one per line.
std::optional<std::vector<float>> UnevenBackground(const float* data, size_t nx, size_t ny,
                                                   size_t nz, bool line_offsets = true);

// Takes an uneven background out of `values` (measured on them, nx * ny * nz of them) and gives
// the lift's scale: that of the grey values `given` as they are when the background is even, else
// of `given` less the same background, so that both steps see one scale. Cost: that of
// UnevenBackground, and when it finds one, two passes and a copy of `given`.
IntensityLift LiftWithoutBackground(const unsigned short* given, float* values, size_t nx,
                                    size_t ny, size_t nz, bool line_offsets = true);

// Subtracts a background from UnevenBackground from every slice of the values. One pass.
void SubtractBackground(float* data, const std::vector<float>& background, size_t nx, size_t ny,
                        size_t nz);

}  // namespace voxa::algo
