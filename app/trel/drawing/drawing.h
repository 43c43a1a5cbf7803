// Pictures of frames for people: one plane of a frame (a slice, or the maximum-intensity
// projection of a stack), a display stretch that keeps dim cells visible, one colour per label
// shared by every picture and by the lineage tree, and labels drawn over the frame as outlines
// or as translucent fills.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "label_image.h"
#include "png_writer.h"

namespace trel::tool {

// One plane of 16-bit values (grey levels or labels), row by row.
struct Plane {
  uint32_t width = 0, height = 0;
  std::vector<uint16_t> values;
};

Plane SlicePlane(const LabelImage& image, uint64_t z);

// The brightest voxel of every column along z.
Plane MaxProjection(const LabelImage& grey);

// Per column, the label of its brightest labelled voxel in `grey` (same size), so that projected
// labels lie where the projected cells are bright; without `grey`, the first labelled voxel from
// the top slice down.
Plane ProjectLabels(const LabelImage& labels, const LabelImage* grey);

// Smaller by an integer factor: grey levels averaged over each block, labels taken from the
// block's centre so that no label is blended into another.
Plane ShrinkGrey(const Plane& grey, uint32_t factor);
Plane ShrinkLabels(const Plane& labels, uint32_t factor);

// How grey levels between two percentiles of a plane become display levels: linearly, or
// through a square root or a logarithm, which lift dim cells out of the dark.
enum class DisplayCurve { kLinear, kGamma, kLog };

struct Stretch {
  double low = 0, high = 1;
  DisplayCurve curve = DisplayCurve::kLinear;
  uint8_t Map(uint16_t grey) const;
};

// Between the 0.5 and 99.8 percentiles. O(pixels + 65536).
Stretch FindStretch(const Plane& grey, DisplayCurve curve);

RgbPicture GreyPicture(const Plane& grey, const Stretch& stretch);

using Rgb = std::array<uint8_t, 3>;

// A bright colour per label, neighbouring labels far apart on the hue circle.
Rgb LabelColour(uint64_t label);
std::string ColourText(const Rgb& colour);  // "#rrggbb"

// The outline of every labelled region in its colour: pixels with a 4-neighbour of another label.
// `labels` has the picture's size.
void DrawOutlines(RgbPicture& picture, const Plane& labels);

// Every labelled pixel blended with its colour (`opacity` 0..1), the outline opaque. Labels
// whose colour is empty are left undrawn.
using Colouring = std::function<std::optional<Rgb>(uint16_t label)>;
void DrawFilled(RgbPicture& picture, const Plane& labels, double opacity,
                const Colouring& colouring);

// `left` and `right` (of one height) next to each other.
RgbPicture SideBySide(const RgbPicture& left, const RgbPicture& right);

}  // namespace trel::tool
