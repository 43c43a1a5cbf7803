// Cycle lengths from the divisions, compared through their cumulative histograms.
#include "cell_cycles.h"

#include <algorithm>
#include <cmath>

namespace trel::tool {

namespace {

constexpr uint64_t kLabelCount = 65536;

// Cumulative fraction of the lengths up to each length 0 ... size - 1.
std::vector<double> Cumulative(const std::vector<uint64_t>& lengths, size_t size) {
  std::vector<double> histogram(size, 0.0);
  for (uint64_t n : lengths) histogram[n] += 1.0;
  double sum = 0.0;
  for (double& h : histogram) {
    sum += h / static_cast<double>(lengths.size());
    h = sum;
  }
  return histogram;
}

}  // namespace

std::vector<uint64_t> CellCycleLengths(const Tracking& tracking,
                                       const std::vector<Division>& divisions) {
  std::vector<bool> born(kLabelCount, false), divides(kLabelCount, false);
  for (const Division& d : divisions) {
    divides[d.mother] = true;
    for (uint16_t daughter : d.daughters) born[daughter] = true;
  }
  std::vector<uint64_t> lengths;
  for (uint16_t label : tracking.presence.Labels())
    if (born[label] && divides[label]) {
      const std::vector<uint64_t>& frames = tracking.presence.Frames(label);
      lengths.push_back(frames.back() - frames.front() + 1);
    }
  return lengths;
}

std::optional<double> CellCycleAccuracy(const std::vector<uint64_t>& reference,
                                        const std::vector<uint64_t>& result) {
  if (reference.empty()) return std::nullopt;
  if (result.empty()) return 0.0;
  const size_t size = std::max(*std::max_element(reference.begin(), reference.end()),
                               *std::max_element(result.begin(), result.end())) +
                      1;
  const std::vector<double> a = Cumulative(reference, size), b = Cumulative(result, size);
  double gap = 0.0;
  for (size_t k = 0; k < size; ++k) gap = std::max(gap, std::abs(a[k] - b[k]));
  return 1.0 - gap;
}

}  // namespace trel::tool
