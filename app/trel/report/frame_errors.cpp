#include "frame_errors.h"

#include <algorithm>

namespace trel::tool {

namespace {

bool Present(const std::vector<uint16_t>& labels, uint64_t label) {
  return std::binary_search(labels.begin(), labels.end(), label);
}

// A predecessor's stand-in on the reference side: its unique reference object, or a value no
// reference label takes when it matches none (a link from a false object is never right).
constexpr uint32_t kNoReference = 0x10000;

}  // namespace

uint64_t FrameErrors::Count(Verdict v) const {
  return static_cast<uint64_t>(
      std::count_if(result.begin(), result.end(), [v](const auto& r) { return r.second == v; }));
}

Links::Links(const std::vector<TrackLine>& lineage) {
  for (const TrackLine& t : lineage) tracks_.emplace(t.label, t);
}

uint16_t Links::Predecessor(uint16_t label, uint64_t t, const std::vector<uint16_t>& before) const {
  if (t == 0) return 0;
  if (Present(before, label)) return label;
  const auto it = tracks_.find(label);
  if (it == tracks_.end() || it->second.begin != t || !Present(before, it->second.parent)) return 0;
  return static_cast<uint16_t>(it->second.parent);
}

FrameErrors JudgeFrame(const FrameMatching& now, const FrameMatching* before, uint64_t t,
                       const Links& result, const Links& reference) {
  FrameErrors errors;
  for (size_t k = 0; k < now.reference.size(); ++k)
    if (now.matched_by[k] == 0) errors.missed.push_back(now.reference[k]);
  for (size_t k = 0; k < now.result.size(); ++k) {
    const uint16_t label = now.result[k];
    Verdict v = now.matches[k] == 0  ? Verdict::kFalse
                : now.matches[k] > 1 ? Verdict::kMerged
                                     : Verdict::kMatched;
    if (v == Verdict::kMatched && before) {
      const uint16_t own = now.unique_reference[k];
      const uint16_t expected = reference.Predecessor(own, t, before->reference);
      const uint16_t predecessor = result.Predecessor(label, t, before->result);
      uint32_t actual = 0;
      if (predecessor) {
        const uint16_t match = before->UniqueMatchOf(predecessor);
        actual = match ? match : kNoReference;
      }
      if (actual != expected) v = Verdict::kWrongLink;
    }
    errors.result[label] = v;
  }
  return errors;
}

}  // namespace trel::tool
