// UnevenBackground: block percentiles by selection, then a bilinear surface through the block
// centres (constant beyond the outer centres), then the offsets of rows and of columns of what the
// surface leaves.
#include "intensity/background_flattening.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace voxa::algo {

namespace {

// Position of coordinate c among block centres b * size + size / 2: the lower block and the
// weight of the upper one.
std::pair<size_t, float> Between(size_t c, size_t size, size_t blocks) {
  const double u = (double(c) + 0.5) / double(size) - 0.5;
  if (u <= 0 || blocks == 1) return {0, 0.0f};
  const size_t lower = std::min(static_cast<size_t>(u), blocks - 1);
  if (lower + 1 >= blocks) return {blocks - 1, 0.0f};
  return {lower, static_cast<float>(u - double(lower))};
}

// Every kSampleStep-th row and column of a block is enough for its percentiles: a block holds a
// thousand voxels and more.
constexpr size_t kSampleStep = 2;

// The bilinear surface through the block levels, into `background`.
void FillSurface(const std::vector<float>& level, size_t size, size_t bx, size_t by, size_t nx,
                 size_t ny, std::vector<float>& background);
// Adds the offsets of the rows (`rows`) or columns of an image's data - background to
// `background` when the largest stands out; returns whether it did.
bool AddLineOffsets(const float* data, size_t nx, size_t ny, float sigma, bool rows,
                    std::vector<float>& background);

}  // namespace

std::optional<std::vector<float>> UnevenBackground(const float* data, size_t nx, size_t ny,
                                                   size_t nz, bool line_offsets) {
  if (nx == 0 || ny == 0 || nz == 0) return std::nullopt;
  const size_t size = std::max(kMinBlock, (std::max(nx, ny) + kBlockFraction - 1) / kBlockFraction);
  const size_t bx = (nx + size - 1) / size, by = (ny + size - 1) / size;
  std::vector<float> level(bx * by), noise(bx * by), block;
  for (size_t j = 0; j < by; ++j)
    for (size_t i = 0; i < bx; ++i) {
      block.clear();
      for (size_t z = 0; z < nz; ++z)
        for (size_t y = j * size; y < std::min(ny, (j + 1) * size); y += kSampleStep) {
          const float* row = data + (z * ny + y) * nx;
          for (size_t x = i * size; x < std::min(nx, (i + 1) * size); x += kSampleStep)
            block.push_back(row[x]);
        }
      const auto at = block.begin() + static_cast<ptrdiff_t>(kBackgroundPercentile *
                                                             static_cast<double>(block.size() - 1));
      std::nth_element(block.begin(), at, block.end());
      level[j * bx + i] = *at;
      const auto middle = block.begin() + static_cast<ptrdiff_t>(block.size() / 2);
      std::nth_element(at, middle, block.end());
      noise[j * bx + i] = static_cast<float>((*middle - level[j * bx + i]) / kPercentileToMedian);
    }
  const auto middle = noise.begin() + static_cast<ptrdiff_t>(noise.size() / 2);
  std::nth_element(noise.begin(), middle, noise.end());
  const float sigma = *middle;
  const auto [low, high] = std::minmax_element(level.begin(), level.end());
  const bool blocks = *high - *low > kMinUnevenness * sigma;
  std::vector<float> background(nx * ny, 0.0f);
  if (blocks) FillSurface(level, size, bx, by, nx, ny, background);
  // A stack's slices each carry the light of their own depth, which lines across the slices would
  // mix: line offsets are an image's.
  const bool image = nz == 1 && line_offsets;
  const bool rows = image && AddLineOffsets(data, nx, ny, sigma, true, background);
  const bool columns = image && AddLineOffsets(data, nx, ny, sigma, false, background);
  if (!blocks && !rows && !columns) return std::nullopt;
  return background;
}

namespace {

void FillSurface(const std::vector<float>& level, size_t size, size_t bx, size_t by, size_t nx,
                 size_t ny, std::vector<float>& background) {
  std::vector<std::pair<size_t, float>> across(nx);
  for (size_t x = 0; x < nx; ++x) across[x] = Between(x, size, bx);
  for (size_t y = 0; y < ny; ++y) {
    const auto [j, wy] = Between(y, size, by);
    const size_t j1 = std::min(j + 1, by - 1);
    for (size_t x = 0; x < nx; ++x) {
      const auto [i, wx] = across[x];
      const size_t i1 = std::min(i + 1, bx - 1);
      const float top = level[j * bx + i] * (1 - wx) + level[j * bx + i1] * wx;
      const float bottom = level[j1 * bx + i] * (1 - wx) + level[j1 * bx + i1] * wx;
      background[y * nx + x] = top * (1 - wy) + bottom * wy;
    }
  }
}

bool AddLineOffsets(const float* data, size_t nx, size_t ny, float sigma, bool rows,
                    std::vector<float>& background) {
  if (!(sigma > 0)) return false;  // a background of one value has no noise to measure against
  const size_t lines = rows ? ny : nx, length = rows ? nx : ny;
  std::vector<float> offset(lines), line(length);
  for (size_t k = 0; k < lines; ++k) {
    for (size_t j = 0; j < length; ++j) {
      const size_t at = rows ? k * nx + j : j * nx + k;
      line[j] = data[at] - background[at];
    }
    const auto at = line.begin() + static_cast<ptrdiff_t>(kLinePercentile * double(length - 1));
    std::nth_element(line.begin(), at, line.end());
    offset[k] = *at;
  }
  std::vector<float> sorted(offset);
  const auto middle = sorted.begin() + static_cast<ptrdiff_t>(lines / 2);
  std::nth_element(sorted.begin(), middle, sorted.end());
  const float typical = *middle;
  float largest = 0;
  for (float& o : offset) largest = std::max(largest, std::abs(o -= typical));
  if (!(largest >= kMinLineOffset * sigma)) return false;
  for (size_t y = 0; y < ny; ++y)
    for (size_t x = 0; x < nx; ++x) background[y * nx + x] += offset[rows ? y : x];
  return true;
}

}  // namespace

IntensityLift LiftWithoutBackground(const unsigned short* given, float* values, size_t nx,
                                    size_t ny, size_t nz, bool line_offsets) {
  const size_t n = nx * ny * nz;
  const auto background = UnevenBackground(values, nx, ny, nz, line_offsets);
  if (!background) return IntensityLift::Of(given, n);
  SubtractBackground(values, *background, nx, ny, nz);
  std::vector<float> flat(given, given + n);
  SubtractBackground(flat.data(), *background, nx, ny, nz);
  return IntensityLift::OfFloat(flat.data(), n);
}

void SubtractBackground(float* data, const std::vector<float>& background, size_t nx, size_t ny,
                        size_t nz) {
  for (size_t z = 0; z < nz; ++z)
    for (size_t k = 0; k < nx * ny; ++k) data[z * nx * ny + k] -= background[k];
}

}  // namespace voxa::algo
