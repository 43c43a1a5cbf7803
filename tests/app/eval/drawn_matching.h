// The matching of two label images drawn as text (see trel::testing::Draw), for tests of what
// reads a frame's matching.
#pragma once

#include <string>
#include <vector>

#include "object_matching.h"
#include "support/test_support.h"

namespace trel::tool {

inline FrameMatching MatchDrawings(const std::vector<std::string>& reference,
                                   const std::vector<std::string>& result) {
  const auto a = testing::Draw<unsigned short>(reference);
  const auto b = testing::Draw<unsigned short>(result);
  OverlapCounter counter;
  return MatchObjects(counter.Count(a.begin(), b.begin(), a.GetImageSize()));
}

}  // namespace trel::tool
