// A picture of one frame for people to look at: the frame (one slice of a stack) with its
// contrast stretched between low and high percentiles, shown twice side by side, plain on the
// left and with the outline of every labelled object drawn in a colour of its own on the right.
#pragma once

#include <cstdint>

#include "png_writer.h"
#include "voxa/image3d.h"

namespace trel::tool {

// `labels` may be null (no outlines) or must have the frame's size. Throws ToolError
// (kExitUsage) when `slice` is not a slice of the frame.
RgbPicture RenderPreview(const voxa::Image3d<unsigned short>& frame,
                         const voxa::Image3d<unsigned short>* labels, uint64_t slice);

}  // namespace trel::tool
