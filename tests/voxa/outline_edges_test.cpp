// MoveOutlinesToEdges on drawn scenes: a blurred ball whose outline starts too large or too
// small ends at its own edge, a label that would part in two keeps its outline, labels never
// merge or appear on random crowded scenes, and images of different sizes are refused.
#include "voxa/outline_edges.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "voxa/exceptions.h"
#include "voxa/image3d.h"
#include "voxa/labeled_image3d.h"
#include "voxa/neighbourhood.h"

namespace {

using voxa::Image3d;

struct Ball {
  double x, y, z, r;
};

// Balls of value 1 on 0 whose edges fall off as the normal distribution with deviation `blur`
// in the plane and `blur_z` along z (the optics of a stack), with a little noise.
Image3d<float> BlurredBalls(uint64_t n, uint64_t nz, const std::vector<Ball>& balls, double blur,
                            double blur_z, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 0.02f);
  Image3d<float> values;
  values.MakeRoom(n, n, nz);
  for (uint64_t z = 0; z < nz; ++z)
    for (uint64_t y = 0; y < n; ++y)
      for (uint64_t x = 0; x < n; ++x) {
        double v = 0;
        for (const Ball& b : balls) {
          // The distance to the surface, in units of the blur along its direction.
          const double dx = x - b.x, dy = y - b.y, dz = nz > 1 ? z - b.z : 0.0;
          const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
          const double cos_z = d > 0 ? std::abs(dz) / d : 0.0;
          const double s = std::hypot(blur * std::sqrt(1 - cos_z * cos_z), blur_z * cos_z);
          v = std::max(v, 0.5 * std::erfc((d - b.r) / (s * std::sqrt(2.0))));
        }
        values.SetVoxel(x, y, z, static_cast<float>(v) + noise(rng));
      }
  return values;
}

// Label k + 1 on ball k grown or shrunk by `change` voxels.
Image3d<unsigned short> Labels(const Image3d<float>& geometry, const std::vector<Ball>& balls,
                               double change) {
  Image3d<unsigned short> labels;
  labels.MakeRoom(geometry.GetSizeX(), geometry.GetSizeY(), geometry.GetSizeZ());
  const bool stack = geometry.GetSizeZ() > 1;
  for (uint64_t z = 0; z < labels.GetSizeZ(); ++z)
    for (uint64_t y = 0; y < labels.GetSizeY(); ++y)
      for (uint64_t x = 0; x < labels.GetSizeX(); ++x) {
        unsigned short label = 0;
        for (size_t k = 0; k < balls.size(); ++k) {
          const Ball& b = balls[k];
          if (std::hypot(x - b.x, y - b.y, stack ? z - b.z : 0.0) <= b.r + change)
            label = static_cast<unsigned short>(k + 1);
        }
        labels.SetVoxel(x, y, z, label);
      }
  return labels;
}

uint64_t Volume(const Image3d<unsigned short>& labels, unsigned short label) {
  uint64_t volume = 0;
  for (const unsigned short l : labels) volume += l == label;
  return volume;
}

// Separate pieces of every label, 8- or 26-connected.
std::map<unsigned short, int> Pieces(const Image3d<unsigned short>& labels) {
  voxa::LabeledImage3d<unsigned short, unsigned short> regions;
  regions.CreateForegroundRegionsFF(labels, labels.GetSizeZ() > 1 ? voxa::nb3D_26 : voxa::nb2D_8);
  std::map<unsigned short, int> pieces;
  for (const auto& [id, info] : regions.GetComponents()) ++pieces[info.value];
  return pieces;
}

// The pairs of different labels that touch, even through a corner.
std::set<std::pair<unsigned short, unsigned short>> Touching(const Image3d<unsigned short>& l) {
  const int64_t nx = int64_t(l.GetSizeX()), ny = int64_t(l.GetSizeY()), nz = int64_t(l.GetSizeZ());
  std::set<std::pair<unsigned short, unsigned short>> pairs;
  for (int64_t z = 0; z < nz; ++z)
    for (int64_t y = 0; y < ny; ++y)
      for (int64_t x = 0; x < nx; ++x) {
        const unsigned short a = l.GetVoxel(uint64_t(x), uint64_t(y), uint64_t(z));
        for (int64_t dz = -1; dz <= 1 && a != 0; ++dz)
          for (int64_t dy = -1; dy <= 1; ++dy)
            for (int64_t dx = -1; dx <= 1; ++dx) {
              const int64_t u = x + dx, v = y + dy, w = z + dz;
              if (u < 0 || v < 0 || w < 0 || u >= nx || v >= ny || w >= nz) continue;
              const unsigned short b = l.GetVoxel(uint64_t(u), uint64_t(v), uint64_t(w));
              if (b != 0 && b != a) pairs.insert({a, b});
            }
      }
  return pairs;
}

// The radius of a ball of the label's volume.
double Radius(const Image3d<unsigned short>& labels, unsigned short label) {
  return std::cbrt(3.0 * double(Volume(labels, label)) / (4.0 * M_PI));
}

// In a stack blurred twice as much along z as in the plane, an outline drawn a voxel and a half
// too large or too small moves towards the ball's own edge from either side. It gets no nearer
// than about half a voxel: the rings that give its levels lie on the blurred slope, and the
// level itself lies a little inside the half level.
TEST(MoveOutlinesToEdges, AnOutlineInABlurredStackMovesToTheBallsEdge) {
  const std::vector<Ball> ball = {{20, 20, 20, 8}};
  const Image3d<float> values = BlurredBalls(40, 40, ball, 1.0, 2.0, 1);
  for (const double change : {-1.5, 1.5}) {
    SCOPED_TRACE("drawn " + std::to_string(change) + " voxels off");
    Image3d<unsigned short> labels = Labels(values, ball, change);
    const double before = Radius(labels, 1);
    EXPECT_GT(voxa::MoveOutlinesToEdges(labels, values), 0u);
    const double after = Radius(labels, 1);
    EXPECT_LT(std::abs(after - 8.0), 0.75 * std::abs(before - 8.0)) << before << " -> " << after;
    EXPECT_EQ(Pieces(labels)[1], 1);
  }
}

// Two bright discs of one label joined by a dim bridge below the label's edge level: following
// the level would cut the bridge and make two cells of one, so this label keeps its outline.
// A lone disc beside it still moves.
TEST(MoveOutlinesToEdges, ALabelThatWouldPartInTwoKeepsItsOutline) {
  const std::vector<Ball> balls = {{20, 30, 0, 9}, {44, 30, 0, 9}, {30, 58, 0, 9}};
  Image3d<float> values = BlurredBalls(72, 1, balls, 1.0, 1.0, 2);
  Image3d<unsigned short> labels = Labels(values, balls, 1.5);
  for (uint64_t y = 29; y <= 31; ++y)
    for (uint64_t x = 27; x <= 37; ++x) {
      values.SetVoxel(x, y, 0, 0.1f);
      labels.SetVoxel(x, y, 0, 1);
    }
  for (uint64_t i = 0; i < labels.GetImageSize(); ++i)
    if (labels.GetVoxel(i) == 2) labels.SetVoxel(i, 1);
  const Image3d<unsigned short> before = labels;
  voxa::MoveOutlinesToEdges(labels, values);
  EXPECT_EQ(Pieces(labels)[1], 1);
  EXPECT_EQ(Volume(labels, 1), Volume(before, 1));
  EXPECT_LT(Volume(labels, 3), Volume(before, 3));
}

// Crowded balls drawn from ragged labels in random stacks: no label parts into more pieces, no
// label appears, and labels that did not touch before do not touch after (26-neighbourhood).
TEST(MoveOutlinesToEdges, LabelsNeverMergePartOrAppear) {
  for (const unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> at(6, 34), radius(4, 7);
    std::vector<Ball> balls;
    for (int k = 0; k < 8; ++k) balls.push_back({at(rng), at(rng), at(rng) / 2, radius(rng)});
    const Image3d<float> values = BlurredBalls(40, 20, balls, 1.0, 2.0, seed);
    Image3d<unsigned short> labels = Labels(values, balls, 1.0);
    std::bernoulli_distribution drop(0.1);
    for (uint64_t i = 0; i < labels.GetImageSize(); ++i)
      if (drop(rng)) labels.SetVoxel(i, 0);
    const std::map<unsigned short, int> before = Pieces(labels);
    const auto touching_before = Touching(labels);
    voxa::MoveOutlinesToEdges(labels, values);
    for (const auto& [label, count] : Pieces(labels)) {
      ASSERT_TRUE(before.count(label)) << "label " << label << " appeared";
      EXPECT_LE(count, before.at(label)) << "label " << label;
    }
    const std::set<std::pair<unsigned short, unsigned short>> touching = Touching(labels);
    for (const auto& pair : touching)
      EXPECT_TRUE(touching_before.count(pair)) << pair.first << " came to touch " << pair.second;
  }
}

TEST(MoveOutlinesToEdges, ImagesOfDifferentSizesAreRefused) {
  Image3d<unsigned short> labels;
  labels.MakeRoom(10, 10, 2);
  Image3d<float> values;
  values.MakeRoom(10, 10, 3);
  EXPECT_THROW(voxa::MoveOutlinesToEdges(labels, values), voxa::InternalException);
  Image3d<unsigned short> empty;
  Image3d<float> none;
  EXPECT_EQ(voxa::MoveOutlinesToEdges(empty, none), 0u);
}

}  // namespace
