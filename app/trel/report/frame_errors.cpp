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

Link Links::Into(uint16_t label, uint64_t t, const std::vector<uint16_t>& before) const {
  if (t == 0) return {};
  if (Present(before, label)) return {label, false};
  const auto it = tracks_.find(label);
  if (it == tracks_.end() || it->second.begin != t || !Present(before, it->second.parent))
    return {};
  return {static_cast<uint32_t>(it->second.parent), true};
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
      const Link expected = reference.Into(now.unique_reference[k], t, before->reference);
      Link actual = result.Into(label, t, before->result);
      if (actual.from) {
        const uint16_t match = before->UniqueMatchOf(static_cast<uint16_t>(actual.from));
        actual.from = match ? match : kNoReference;
      }
      if (!(actual == expected)) v = Verdict::kWrongLink;
    }
    errors.result[label] = v;
  }
  return errors;
}

}  // namespace trel::tool
