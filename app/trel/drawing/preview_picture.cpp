#include "preview_picture.h"

#include <string>

#include "drawing.h"
#include "tool_error.h"

namespace trel::tool {

RgbPicture RenderPreview(const voxa::Image3d<unsigned short>& frame,
                         const voxa::Image3d<unsigned short>* labels, uint64_t slice) {
  if (slice >= frame.GetSizeZ())
    throw ToolError(kExitUsage, "slice " + std::to_string(slice) + " is not in the frame (0-" +
                                    std::to_string(frame.GetSizeZ() - 1) + ")");
  const Plane grey = SlicePlane(frame, slice);
  const RgbPicture plain = GreyPicture(grey, FindStretch(grey, DisplayCurve::kLinear));
  RgbPicture outlined = plain;
  if (labels) DrawOutlines(outlined, SlicePlane(*labels, slice));
  return SideBySide(plain, outlined);
}

}  // namespace trel::tool
