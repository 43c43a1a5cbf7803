// CutNarrowNecks: the label image on a padded grid, cut by NeckCut, written back.
#include "voxa/neck_split.h"

#include <cmath>
#include <string>
#include <vector>

#include "outlines/neck_cut.h"
#include "padded_grid.h"
#include "voxa/exceptions.h"

namespace voxa {

size_t CutNarrowNecks(Image3d<unsigned short>& labels, float neck_ratio) {
  if (!std::isfinite(neck_ratio) || neck_ratio < 0)
    throw InternalException(
        "CutNarrowNecks: the neck ratio must be a finite non-negative number, "
        "not " +
        std::to_string(neck_ratio));
  if (labels.IsEmpty()) return 0;
  const algo::PaddedGrid grid(labels.GetSizeX(), labels.GetSizeY(), labels.GetSizeZ());
  std::vector<unsigned short> padded(grid.PaddedCount(), 0);
  grid.ForEachVoxel([&](size_t i, size_t p) { padded[p] = labels.GetVoxel(i); });
  const std::vector<size_t> cut = algo::NeckCut(grid, neck_ratio).Find(padded);
  if (cut.empty()) return 0;
  for (const size_t p : cut) padded[p] = 0;
  grid.ForEachVoxel([&](size_t i, size_t p) { labels.SetVoxel(i, padded[p]); });
  return cut.size();
}

}  // namespace voxa
