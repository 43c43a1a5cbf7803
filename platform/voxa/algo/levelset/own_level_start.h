// Where a two-phase segmentation continues with a level per object. One foreground level serves
// bright and dim objects alike and loses the dim ones: a nucleus a few grey values above the
// background beside nuclei a hundred times brighter falls below the split. The objects the shared
// level found, and the pieces of the start it lost, then each get a label of their own, so that
// each is held to its own level, as the multi-label routine holds every label.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "voxa/image3d.h"

namespace voxa::algo {

// Lost pieces of the start smaller than this many voxels stay lost: at the smoothing's grain the
// brighter specks of the noise form pieces of a few dozen voxels, which, each held to its own
// level, would grow over the noise. A nucleus of ten voxels across covers some eighty.
constexpr uint64_t kMinLostPiece = 64;

// The start of the own-level pass: the connected objects of `found` (full neighbourhood) labelled
// 1, 2, ..., then the pieces of `start` that meet none of them and have kMinLostPiece voxels or
// more, numbered on. Empty when there is neither, or when they outnumber the 16-bit labels. Both
// images have the same sizes. Cost: two region labellings.
std::optional<std::vector<unsigned short>> OwnLevelStart(const Image3d<bool>& found,
                                                         const Image3d<bool>& start);

}  // namespace voxa::algo
