// GibouFedkiw: hand-drawn images with their exact phases and means, the bright phase as the
// foreground, the weights moving the split, the round count, dim objects found in 16-bit input,
// invariance to the grey scale, the geometry of the result and the argument checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "voxa/exceptions.h"
#include "voxa/filters.h"
#include "voxa/gibou_fedkiw.h"
#include "voxa/gray_to_float.h"
#include "voxa/image3d.h"
#include "voxa/voxel_type.h"

namespace {

using trel::testing::Draw;
using trel::testing::Picture;
using voxa::Image3d;
using Rows = std::vector<std::string>;

constexpr size_t kRounds = 30;

struct Result {
  Rows phases;
  float fg_mean, bg_mean;
};

template <class T>
Result Segment(const Image3d<T>& in, float fg_weight = 1, float bg_weight = 1,
               size_t rounds = kRounds) {
  Image3d<bool> out;
  Result r;
  voxa::GibouFedkiw(in, out, fg_weight, bg_weight, r.fg_mean, r.bg_mean, rounds);
  r.phases = Picture(out);
  return r;
}

TEST(GibouFedkiw, SplitsATwoLevelImageExactly) {
  const Rows drawing = {
      "..........", "...9999...", "..999999..", "..999999..", "...9999...", "..........",
  };
  const Result r = Segment(Draw<float>(drawing));
  EXPECT_EQ(r.phases, (Rows{
                          "..........",
                          "...1111...",
                          "..111111..",
                          "..111111..",
                          "...1111...",
                          "..........",
                      }));
  EXPECT_FLOAT_EQ(r.fg_mean, 9.0f);
  EXPECT_FLOAT_EQ(r.bg_mean, 0.0f);
}

TEST(GibouFedkiw, TheBrighterPhaseIsTheForeground) {
  const Result r = Segment(Draw<float>({
      "9999999999",
      "9999..9999",
      "999....999",
      "999....999",
      "9999..9999",
      "9999999999",
  }));
  EXPECT_EQ(r.phases, (Rows{
                          "1111111111",
                          "1111..1111",
                          "111....111",
                          "111....111",
                          "1111..1111",
                          "1111111111",
                      }));
  EXPECT_FLOAT_EQ(r.fg_mean, 9.0f);
  EXPECT_FLOAT_EQ(r.bg_mean, 0.0f);
}

TEST(GibouFedkiw, RoundCountZeroGivesTheUnsmoothedSplitAndOneRoundSmoothsIt) {
  const Image3d<float> square = Draw<float>({
      ".......",
      ".99999.",
      ".99999.",
      ".99999.",
      ".......",
  });
  EXPECT_EQ(Segment(square, 1, 1, 0).phases, Picture(Draw<bool>({
                                                 ".......",
                                                 ".11111.",
                                                 ".11111.",
                                                 ".11111.",
                                                 ".......",
                                             })));
  // The majority vote takes the corners off; further rounds find nothing more to change.
  const Rows smoothed = {
      ".......", "..111..", ".11111.", "..111..", ".......",
  };
  EXPECT_EQ(Segment(square, 1, 1, 1).phases, smoothed);
  EXPECT_EQ(Segment(square, 1, 1, kRounds).phases, smoothed);
}

TEST(GibouFedkiw, ABiggerBackgroundWeightTakesAMidLevelIntoTheForeground) {
  // The mid level touches the bright one, so the split alone decides where it goes.
  const Rows blank(3, std::string(20, '.'));
  Rows drawing = blank;
  for (int row = 0; row < 6; ++row) drawing.push_back("....999999333333....");
  drawing.insert(drawing.end(), blank.begin(), blank.end());
  const Image3d<float> image = Draw<float>(drawing);
  const Result even = Segment(image);
  EXPECT_EQ(even.phases[5].substr(10, 6), "......");
  EXPECT_EQ(even.phases[5].substr(4, 6), "111111");
  const Result background_heavy = Segment(image, 1, 25);
  EXPECT_EQ(background_heavy.phases[5].substr(10, 6), "111111");
  EXPECT_EQ(background_heavy.phases[5].substr(4, 6), "111111");
  // And a bigger foreground weight keeps the foreground to the brightest level.
  EXPECT_EQ(Segment(image, 9, 1).phases[5], "....111111..........");
}

// A float image whose split on the values leaves an object out entirely: the object, apart from
// every object the split found, joins the foreground, whatever the weights.
TEST(GibouFedkiw, FloatInputAddsAnObjectTheSplitMissesEntirely) {
  const Image3d<float> image = Draw<float>({
      "................",
      ".999999..333333.",
      ".999999..333333.",
      ".999999..333333.",
      ".999999..333333.",
      ".999999..333333.",
      ".999999..333333.",
      "................",
  });
  for (const float fg_weight : {1.0f, 9.0f}) {
    const Result r = Segment(image, fg_weight, 1);
    EXPECT_EQ(r.phases[3].substr(1, 6), "111111") << fg_weight;
    EXPECT_NE(r.phases[3].substr(9, 6).find('1'), std::string::npos) << fg_weight;
    EXPECT_EQ(r.phases[3][7], '.') << fg_weight;  // the two objects stay apart
    EXPECT_EQ(r.phases[0], "................") << fg_weight;
  }
}

TEST(GibouFedkiw, SixteenBitInputFindsADimNucleusBesideABrightOne) {
  // Background 100 with noise, a bright disc at +4000 and a dim one at +60.
  std::mt19937 rng(4);
  std::normal_distribution<double> noise(0, 4);
  Image3d<unsigned short> in;
  in.MakeRoom(120, 60, 1);
  for (uint64_t y = 0; y < 60; ++y)
    for (uint64_t x = 0; x < 120; ++x) {
      double v = 100 + noise(rng);
      if (std::hypot(x - 30.0, y - 30.0) < 15) v += 4000;
      if (std::hypot(x - 90.0, y - 30.0) < 15) v += 60;
      in.SetVoxel(x, y, 0, static_cast<unsigned short>(v));
    }
  voxa::GrayGaussIIR(in, 1.0);
  Image3d<bool> mask;
  float fg_mean, bg_mean;
  voxa::GibouFedkiw(in, mask, 1, 1, fg_mean, bg_mean, kRounds);
  uint64_t wrong[2] = {0, 0};  // [0]: missed nucleus voxels, [1]: false background voxels
  for (uint64_t y = 0; y < 60; ++y)
    for (uint64_t x = 0; x < 120; ++x) {
      const double a = std::hypot(x - 30.0, y - 30.0), b = std::hypot(x - 90.0, y - 30.0);
      if (a < 13 || b < 13) wrong[0] += !mask.GetVoxel(x, y, 0);
      if (a > 23 && b > 17) wrong[1] += mask.GetVoxel(x, y, 0);  // past the bright halo
    }
  EXPECT_EQ(wrong[0], 0u);
  EXPECT_LT(wrong[1], 50u);  // of about 4500 background voxels
  // The means are grey values of the input.
  EXPECT_GT(fg_mean, 1000.0f);
  EXPECT_NEAR(bg_mean, 100.0f, 5.0f);

  // On the values as given (the float overload), the split leaves the dim nucleus out, and the
  // detection scale adds it back; the bright nucleus keeps the split's outline.
  Image3d<float> linear;
  linear.MakeRoom(120, 60, 1);
  std::copy(in.begin(), in.end(), linear.begin());
  voxa::GibouFedkiw(linear, mask, 1, 1, fg_mean, bg_mean, kRounds);
  EXPECT_TRUE(mask.GetVoxel(30, 30, 0));
  EXPECT_TRUE(mask.GetVoxel(90, 30, 0));
  EXPECT_FALSE(mask.GetVoxel(30, 30 + 19, 0));
}

// On lifted values (as the graph cut gives them), the split's parts must stand out of their
// surroundings, and a nucleus three standard deviations of the noise above the background, at a
// large offset and in a broad haze that rises just as high across the frame, does.
TEST(GibouFedkiw, ADimNucleusInAHazeStandsOut) {
  for (const unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 10);
    Image3d<unsigned short> in;
    in.MakeRoom(96, 96, 1);
    for (uint64_t y = 0; y < 96; ++y)
      for (uint64_t x = 0; x < 96; ++x) {
        double v = 32768 + noise(rng) + 30 * std::exp(-std::hypot(x - 96.0, y - 96.0) / 60);
        if (std::hypot(x - 30.0, y - 30.0) < 10) v += 30;
        in.SetVoxel(x, y, 0, static_cast<unsigned short>(v));
      }
    Image3d<float> lifted;
    voxa::GrayToFloatNormalized(in, lifted);
    Image3d<bool> mask;
    float fg_mean, bg_mean;
    voxa::GibouFedkiw(lifted, mask, 1, 1, fg_mean, bg_mean, kRounds);
    EXPECT_TRUE(mask.GetVoxel(30, 30, 0));
  }
}

TEST(GibouFedkiw, FloatInputWithSmallObjectsInBroadNoiseSplitsObjectsFromBackground) {
  // A few small discs on a wide noisy background, as a normalised stack looks: two means
  // would rather split the background's noise in halves than find the discs. The discs must
  // be found (their boundaries may be generous: the result is a start for finer methods).
  for (const unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    const auto distance = [](uint64_t x, uint64_t y) {
      return std::hypot(x % 50 - 25.0, y % 100 - 50.0);
    };
    Image3d<float> in;
    in.MakeRoom(200, 200, 1);
    for (uint64_t y = 0; y < 200; ++y)
      for (uint64_t x = 0; x < 200; ++x)
        in.SetVoxel(x, y, 0, (distance(x, y) < 7 ? 0.8f : 0.5f) + noise(rng));
    Image3d<bool> mask;
    float fg_mean, bg_mean;
    voxa::GibouFedkiw(in, mask, 1, 1, fg_mean, bg_mean, kRounds);
    uint64_t missed = 0, false_fg = 0, far = 0;
    for (uint64_t y = 0; y < 200; ++y)
      for (uint64_t x = 0; x < 200; ++x) {
        const double d = distance(x, y);
        if (d < 5) missed += !mask.GetVoxel(x, y, 0);
        if (d > 12) {
          ++far;
          false_fg += mask.GetVoxel(x, y, 0);
        }
      }
    EXPECT_EQ(missed, 0u);
    EXPECT_LT(false_fg, far / 20);  // the noise split takes half of it
    EXPECT_GT(fg_mean, bg_mean + 0.15f);
    EXPECT_NEAR(bg_mean, 0.5f, 0.02f);
  }
}

TEST(GibouFedkiw, SixteenBitResultDoesNotDependOnTheGreyScale) {
  std::mt19937 rng(8);
  std::normal_distribution<double> noise(0, 3);
  for (const uint64_t nz : {1u, 6u}) {
    Image3d<unsigned short> bytes;
    bytes.MakeRoom(48, 40, nz);
    for (uint64_t z = 0; z < nz; ++z)
      for (uint64_t y = 0; y < 40; ++y)
        for (uint64_t x = 0; x < 48; ++x) {
          const double v = 20 + noise(rng) + (std::hypot(x - 20.0, y - 18.0) < 9 ? 90 : 0) +
                           (std::hypot(x - 38.0, y - 26.0) < 6 ? 15 : 0);
          bytes.SetVoxel(x, y, z, static_cast<unsigned short>(std::clamp(v, 0.0, 255.0)));
        }
    Image3d<unsigned short> words = bytes;
    for (unsigned short& v : words) v = static_cast<unsigned short>(256 * v + 200);
    EXPECT_EQ(Segment(bytes).phases, Segment(words).phases);
  }
}

TEST(GibouFedkiw, ResultTakesTheInputGeometry) {
  Image3d<float> in = Draw<float>({"....", ".99.", "....", "", "....", ".99.", "...."});
  in.SetResolution(voxa::Resolution({3.0f, 3.0f, 1.0f}));
  in.SetOffset({5.0f, 6.0f, 7.0f});
  Image3d<bool> out;
  out.MakeRoom(10, 1, 1);
  float fg_mean, bg_mean;
  voxa::GibouFedkiw(in, out, 1, 1, fg_mean, bg_mean, kRounds);
  EXPECT_EQ(out.GetSize(), in.GetSize());
  EXPECT_EQ(out.GetResolution().GetRes(), in.GetResolution().GetRes());
  EXPECT_EQ(out.GetOffset(), in.GetOffset());
}

TEST(GibouFedkiw, EdgeCases) {
  // Empty input: empty output, zero means.
  const Result empty = Segment(Image3d<float>());
  EXPECT_TRUE(empty.phases.empty());
  EXPECT_EQ(empty.fg_mean, 0.0f);
  EXPECT_TRUE(Segment(Image3d<unsigned short>()).phases.empty());
  // A flat image has no brighter phase.
  const Result flat = Segment(Draw<unsigned short>({"444", "444"}));
  EXPECT_EQ(flat.phases, (Rows{"...", "..."}));
  EXPECT_FLOAT_EQ(flat.bg_mean, 4.0f);
  EXPECT_FLOAT_EQ(flat.fg_mean, 4.0f);
  // A single voxel.
  EXPECT_EQ(Segment(Draw<float>({"7"})).phases, (Rows{"."}));
  // A zero foreground weight still gives a foreground, with no smoothing to undo it.
  EXPECT_EQ(Segment(Draw<float>({"....", ".99.", ".99.", "...."}), 0, 1, 0).phases,
            (Rows{"....", ".11.", ".11.", "...."}));
}

TEST(GibouFedkiw, RejectsBadWeights) {
  const Image3d<float> in = Draw<float>({"19"});
  Image3d<bool> out;
  float a, b;
  auto message = [&](float fg, float bg) {
    try {
      voxa::GibouFedkiw(in, out, fg, bg, a, b, kRounds);
    } catch (const voxa::InternalException& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message(-1, 1),
            "GibouFedkiw: the weights must be finite non-negative numbers, not -1.000000 and "
            "1.000000");
  EXPECT_EQ(message(1, NAN),
            "GibouFedkiw: the weights must be finite non-negative numbers, not 1.000000 and nan");
  EXPECT_EQ(message(0, 0), "GibouFedkiw: the weights must not both be zero");
}

// On real frames every annotated nucleus, the dim ones included, is mostly foreground.
void CheckAnnotatedNucleiFound(const std::string& sequence, const std::string& frame,
                               const std::string& annotation) {
  const std::string folder = trel::testing::SharedData(sequence);
  if (folder.empty()) GTEST_SKIP() << "shared data absent";
  const std::string frame_name = folder + "/01/" + frame,
                    truth_name = folder + "/01_GT/SEG/" + annotation;
  Image3d<unsigned short> image = trel::testing::ReadGreyFrame(frame_name);
  Image3d<unsigned short> truth;
  truth.ReadImage(truth_name.c_str());
  voxa::GrayGaussIIR(image, 1.0);
  Image3d<bool> mask;
  float fg_mean, bg_mean;
  voxa::GibouFedkiw(image, mask, 1, 1, fg_mean, bg_mean, kRounds);
  std::vector<uint64_t> size(65536, 0), covered(65536, 0);
  for (uint64_t i = 0; i < truth.GetImageSize(); ++i) {
    ++size[truth.GetVoxel(i)];
    covered[truth.GetVoxel(i)] += mask.GetVoxel(i);
  }
  EXPECT_LT(covered[0], size[0] / 4) << "background taken as foreground";
  int objects = 0, found = 0;
  for (size_t l = 1; l < size.size(); ++l)
    if (size[l]) {
      ++objects;
      found += 2 * covered[l] > size[l];
    }
  EXPECT_GE(found, 0.9 * objects) << found << " of " << objects << " nuclei found";
}

TEST(GibouFedkiw, FindsTheDimAnnotatedNucleiOfAnEightBitSequence) {
  CheckAnnotatedNucleiFound("Fluo-N2DH-GOWT1", "t002.tif", "man_seg002.tif");
  CheckAnnotatedNucleiFound("Fluo-N2DH-GOWT1", "t021.tif", "man_seg021.tif");
}

TEST(GibouFedkiw, FindsTheNucleiOfASixteenBitSequence) {
  CheckAnnotatedNucleiFound("Fluo-N2DH-SIM+", "t000.tif", "man_seg000.tif");
  CheckAnnotatedNucleiFound("Fluo-N2DH-SIM+", "t050.tif", "man_seg050.tif");
}

}  // namespace
