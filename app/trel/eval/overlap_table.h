// The overlap of a reference labelling with a result labelling of the same frame: the voxel
// count of every label on either side and of every (reference, result) pair sharing voxels,
// from one pass over the two label images. All object matching of the measures reads these
// tables, so no object is ever searched for in an image.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace trel::tool {

struct LabelCount {
  uint16_t label;
  uint64_t voxels;
};

struct PairCount {
  uint16_t reference;
  uint16_t result;
  uint64_t voxels;
};

struct OverlapTable {
  std::vector<LabelCount> reference;  // labels > 0 present in the reference, ascending
  std::vector<LabelCount> result;     // labels > 0 present in the result, ascending
  std::vector<PairCount> pairs;       // both labels > 0, ascending by (reference, result)

  // Voxels of a result label; 0 when it is absent. O(log n).
  uint64_t ResultVoxels(uint16_t label) const;
};

// Counts label overlaps; its buffers (two arrays of 65536 counters and the pair table) are kept
// between calls so that a sequence is counted frame after frame without reallocation.
class OverlapCounter {
 public:
  OverlapCounter();
  // Both arrays hold `count` voxels in the same order. O(count) with one hash lookup per run of
  // equal pairs along the array.
  OverlapTable Count(const uint16_t* reference, const uint16_t* result, uint64_t count);
  // The labels of one image with their voxel counts. O(count).
  std::vector<LabelCount> CountLabels(const uint16_t* labels, uint64_t count);

 private:
  std::vector<LabelCount> Collect(std::vector<uint64_t>& histogram);
  std::vector<uint64_t> reference_histogram_;
  std::vector<uint64_t> result_histogram_;
  std::unordered_map<uint32_t, uint64_t> pair_counts_;
};

// The labels of a count list, in its order.
std::vector<uint16_t> LabelsOf(const std::vector<LabelCount>& counts);

}  // namespace trel::tool
