// Overlap counting by label histograms and a hash table of label pairs. Inside objects the same
// pair repeats voxel after voxel, so a pending run is accumulated and flushed to the hash table
// only when the pair changes.
#include "overlap_table.h"

#include <algorithm>

namespace trel::tool {

namespace {

constexpr uint32_t kLabelCount = 65536;
constexpr int kLabelBits = 16;

uint32_t PairKey(uint16_t reference, uint16_t result) {
  return (static_cast<uint32_t>(reference) << kLabelBits) | result;
}

}  // namespace

uint64_t OverlapTable::ResultVoxels(uint16_t label) const {
  const auto it = std::lower_bound(result.begin(), result.end(), label,
                                   [](const LabelCount& c, uint16_t l) { return c.label < l; });
  return (it != result.end() && it->label == label) ? it->voxels : 0;
}

std::vector<uint16_t> LabelsOf(const std::vector<LabelCount>& counts) {
  std::vector<uint16_t> labels;
  labels.reserve(counts.size());
  for (const LabelCount& c : counts) labels.push_back(c.label);
  return labels;
}

OverlapCounter::OverlapCounter()
    : reference_histogram_(kLabelCount, 0), result_histogram_(kLabelCount, 0) {}

std::vector<LabelCount> OverlapCounter::Collect(std::vector<uint64_t>& histogram) {
  std::vector<LabelCount> labels;
  for (uint32_t label = 1; label < kLabelCount; ++label) {
    if (histogram[label] == 0) continue;
    labels.push_back({static_cast<uint16_t>(label), histogram[label]});
    histogram[label] = 0;
  }
  histogram[0] = 0;
  return labels;
}

std::vector<LabelCount> OverlapCounter::CountLabels(const uint16_t* labels, uint64_t count) {
  for (uint64_t k = 0; k < count; ++k) ++result_histogram_[labels[k]];
  return Collect(result_histogram_);
}

OverlapTable OverlapCounter::Count(const uint16_t* reference, const uint16_t* result,
                                   uint64_t count) {
  pair_counts_.clear();
  uint32_t run_key = 0;
  uint64_t run_length = 0;
  for (uint64_t k = 0; k < count; ++k) {
    const uint16_t a = reference[k], b = result[k];
    ++reference_histogram_[a];
    ++result_histogram_[b];
    if (a == 0 || b == 0) continue;
    const uint32_t key = PairKey(a, b);
    if (key != run_key) {
      if (run_length) pair_counts_[run_key] += run_length;
      run_key = key;
      run_length = 0;
    }
    ++run_length;
  }
  if (run_length) pair_counts_[run_key] += run_length;

  OverlapTable table;
  table.reference = Collect(reference_histogram_);
  table.result = Collect(result_histogram_);
  table.pairs.reserve(pair_counts_.size());
  for (const auto& [key, voxels] : pair_counts_)
    table.pairs.push_back({static_cast<uint16_t>(key >> kLabelBits),
                           static_cast<uint16_t>(key & (kLabelCount - 1)), voxels});
  std::sort(table.pairs.begin(), table.pairs.end(), [](const PairCount& x, const PairCount& y) {
    return PairKey(x.reference, x.result) < PairKey(y.reference, y.result);
  });
  return table;
}

}  // namespace trel::tool
