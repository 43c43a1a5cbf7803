// Outlines of graph-cut stacks at their nuclei's own edges. In a stack the microscope blurs
// every nucleus along z over several slices, and the graph cut, which puts each outline halfway
// between the background's mean and the label's, draws nuclei too large, most of all at their
// caps. Each label's outline is moved to the level of its own edge, on the values the level-set
// tracker segments (the frame smoothed and lifted the same way), as the level-set routines do
// at the end of every evolution. Images are left as they are: there the cut's outlines already
// lie at the nuclei's edges.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "label_image.h"
#include "mask_store.h"

namespace trel::tool {

// For every frame TTT < frames that is a stack, moves the outlines of out/maskTTT.tif to their
// edges in in/tTTT.tif and rewrites the mask when a voxel changed. Labels never merge, never
// part in two and never appear. Throws ToolError: kExitDataError when a frame and its mask
// differ in size, and the statuses of ReadLabelImage and WriteLabelImage.
void MoveStackOutlinesToEdges(const std::filesystem::path& in, const std::filesystem::path& out,
                              uint64_t frames);

// Puts grey frame t into the image and returns what messages call it.
using GreyFrames = std::function<std::string(uint64_t t, LabelImage& grey)>;

// The same on any frames and masks (folders, arrays in memory).
void MoveStackOutlinesToEdges(const GreyFrames& frames, MaskStore& masks, uint64_t count);

}  // namespace trel::tool
