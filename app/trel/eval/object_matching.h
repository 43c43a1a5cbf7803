// Matching of result objects to reference objects in one frame: a result object matches a
// reference object when it covers more than half of the reference object's voxels, so every
// reference object has at most one match while a result object may match several (a merge).
#pragma once

#include <cstdint>
#include <vector>

#include "overlap_table.h"

namespace trel::tool {

struct FrameMatching {
  std::vector<uint16_t> reference;   // reference labels present, ascending
  std::vector<uint16_t> matched_by;  // per reference label: its matching result label, or 0
  std::vector<uint16_t> result;      // result labels present, ascending
  std::vector<uint32_t> matches;     // per result label: how many reference objects it matches

  // The matching result label of a reference label, 0 when unmatched or absent. O(log n).
  uint16_t MatchOf(uint16_t reference_label) const;
  // The reference label a result label matches when it matches exactly one, else 0. O(log n).
  uint16_t UniqueMatchOf(uint16_t result_label) const;
  // The result label that matches the reference label and no other reference object, else 0:
  // the object that stands for the reference object once merged objects are split. O(log n).
  uint16_t UniqueMatchFor(uint16_t reference_label) const;

  // Per result label: the reference label it matches when it matches exactly one, else 0.
  std::vector<uint16_t> unique_reference;
};

// O(number of pairs).
FrameMatching MatchObjects(const OverlapTable& table);

// True when `covered` voxels of an object of `size` voxels are more than half of it.
inline bool CoversMoreThanHalf(uint64_t covered, uint64_t size) {
  return 2 * covered > size;
}

}  // namespace trel::tool
