// Majority-cover matching read off the overlap table: a reference object's pairs are contiguous
// in the table, and at most one of them can hold more than half of its voxels.
#include "object_matching.h"

#include <algorithm>

namespace trel::tool {

namespace {

size_t Find(const std::vector<uint16_t>& labels, uint16_t label) {
  const auto it = std::lower_bound(labels.begin(), labels.end(), label);
  return (it != labels.end() && *it == label) ? static_cast<size_t>(it - labels.begin())
                                              : labels.size();
}

}  // namespace

uint16_t FrameMatching::MatchOf(uint16_t reference_label) const {
  const size_t i = Find(reference, reference_label);
  return i < reference.size() ? matched_by[i] : 0;
}

uint16_t FrameMatching::UniqueMatchOf(uint16_t result_label) const {
  const size_t i = Find(result, result_label);
  return i < result.size() ? unique_reference[i] : 0;
}

uint16_t FrameMatching::UniqueMatchFor(uint16_t reference_label) const {
  const uint16_t r = MatchOf(reference_label);
  return r != 0 && UniqueMatchOf(r) == reference_label ? r : 0;
}

FrameMatching MatchObjects(const OverlapTable& table) {
  FrameMatching m;
  for (const LabelCount& r : table.reference) m.reference.push_back(r.label);
  for (const LabelCount& c : table.result) m.result.push_back(c.label);
  m.matched_by.assign(m.reference.size(), 0);
  m.matches.assign(m.result.size(), 0);
  m.unique_reference.assign(m.result.size(), 0);
  size_t i = 0;
  for (const PairCount& pair : table.pairs) {
    while (m.reference[i] != pair.reference) ++i;
    if (!CoversMoreThanHalf(pair.voxels, table.reference[i].voxels)) continue;
    m.matched_by[i] = pair.result;
    const size_t j = Find(m.result, pair.result);
    ++m.matches[j];
    m.unique_reference[j] = m.matches[j] == 1 ? pair.reference : 0;
  }
  return m;
}

}  // namespace trel::tool
