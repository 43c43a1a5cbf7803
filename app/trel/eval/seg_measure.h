// Segmentation accuracy SEG: the mean Jaccard index |R ∩ S| / |R ∪ S| over all reference objects
// R of the annotated frames, where S is the result object covering more than half of R; a
// reference object that no result object covers that much scores 0.
#pragma once

#include <cstdint>
#include <optional>

#include "overlap_table.h"

namespace trel::tool {

class SegMeasure {
 public:
  // Scores every reference object of one annotated frame (or slice). O(pairs of the table).
  void Add(const OverlapTable& table);
  // Mean Jaccard index; empty when no reference object was seen.
  std::optional<double> Value() const;
  uint64_t objects() const { return objects_; }
  uint64_t matched() const { return matched_; }

 private:
  double jaccard_sum_ = 0.0;
  uint64_t objects_ = 0;
  uint64_t matched_ = 0;
};

}  // namespace trel::tool
