// Cell-cycle accuracy (CCA, Ulman et al. 2017): how well a result reproduces the distribution of
// cell-cycle lengths. A complete cell cycle is a track that begins at a division (its mother has
// two or more daughters) and ends in one; its length is its number of frames. CCA is one minus
// the largest gap between the cumulative distributions of the reference's and the result's
// lengths (the Kolmogorov-Smirnov distance).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "division_matching.h"

namespace trel::tool {

// The lengths of the complete cell cycles, in frames, in label order. O(tracks).
std::vector<uint64_t> CellCycleLengths(const Tracking& tracking,
                                       const std::vector<Division>& divisions);

// Empty when the reference has no complete cycle; 0 when the result has none. O(cycles + frames).
std::optional<double> CellCycleAccuracy(const std::vector<uint64_t>& reference,
                                        const std::vector<uint64_t>& result);

}  // namespace trel::tool
