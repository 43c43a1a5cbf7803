// Projections and shrinking of the report's pictures, on hand-drawn stacks.
#include "drawing.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace trel::tool {
namespace {

using trel::testing::Draw;

TEST(DrawingTest, ProjectedLabelsSitWhereTheColumnIsBrightest) {
  const LabelImage labels = Draw<unsigned short>({"12", "", "33"});
  const LabelImage grey = Draw<unsigned short>({"19", "", "91"});
  EXPECT_EQ(ProjectLabels(labels, &grey).values, (std::vector<uint16_t>{3, 2}));
  EXPECT_EQ(ProjectLabels(labels, nullptr).values, (std::vector<uint16_t>{1, 2}));
  EXPECT_EQ(MaxProjection(grey).values, (std::vector<uint16_t>{9, 9}));
}

TEST(DrawingTest, ShrinkingAveragesGreyAndKeepsLabelsUnblended) {
  const Plane grey{4, 2, {0, 4, 8, 8, 4, 8, 8, 8}};
  EXPECT_EQ(ShrinkGrey(grey, 2).values, (std::vector<uint16_t>{4, 8}));
  const Plane labels{4, 2, {1, 1, 2, 2, 1, 1, 0, 2}};
  EXPECT_EQ(ShrinkLabels(labels, 2).values, (std::vector<uint16_t>{1, 2}));
}

TEST(DrawingTest, FilledLabelsBlendInsideAndAreOpaqueOnTheOutline) {
  const Plane labels{3, 3, {1, 1, 1, 1, 1, 1, 1, 1, 1}};
  RgbPicture picture{3, 3, std::vector<uint8_t>(27, 0)};
  DrawFilled(picture, labels, 0.5, [](uint16_t) { return Rgb{200, 100, 0}; });
  // One label everywhere: no outline, every pixel half-blended.
  EXPECT_EQ(picture.rgb[4 * 3], 100);
  EXPECT_EQ(picture.rgb[4 * 3 + 1], 50);
  const Plane two{2, 1, {1, 2}};
  RgbPicture pair{2, 1, std::vector<uint8_t>(6, 0)};
  DrawFilled(pair, two, 0.5, [](uint16_t l) -> std::optional<Rgb> {
    if (l == 2) return std::nullopt;
    return Rgb{200, 100, 0};
  });
  EXPECT_EQ(pair.rgb[0], 200);  // on the outline against label 2: opaque
  EXPECT_EQ(pair.rgb[3], 0);    // label 2 has no colour: left undrawn
}

}  // namespace
}  // namespace trel::tool
