// SEG accumulation: the overlap table gives |R ∩ S| per pair and |R|, |S| per object, so
// |R ∪ S| = |R| + |S| − |R ∩ S| without touching the images again.
#include "seg_measure.h"

#include "object_matching.h"

namespace trel::tool {

void SegMeasure::Add(const OverlapTable& table) {
  objects_ += table.reference.size();
  size_t i = 0;
  for (const PairCount& pair : table.pairs) {
    while (table.reference[i].label != pair.reference) ++i;
    const uint64_t reference = table.reference[i].voxels;
    if (!CoversMoreThanHalf(pair.voxels, reference)) continue;
    const uint64_t united = reference + table.ResultVoxels(pair.result) - pair.voxels;
    jaccard_sum_ += static_cast<double>(pair.voxels) / static_cast<double>(united);
    ++matched_;
  }
}

std::optional<double> SegMeasure::Value() const {
  if (objects_ == 0) return std::nullopt;
  return jaccard_sum_ / static_cast<double>(objects_);
}

}  // namespace trel::tool
