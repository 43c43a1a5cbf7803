// Cauchy-Crofton edge weights: the known planar weights, the 6-neighbourhood in space with and
// without anisotropic spacing, and the property that makes them a length: averaged over all
// orientations, the weights of the edges a straight boundary cuts add up to its length (area).
#include "kerf/cauchy_crofton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>

#include "kerf/exceptions.h"

namespace {

using Kerf::Energy::CauchyCroftonWeights;
using Kerf::Energy::Neighbourhood;
using Kerf::Math::Algebra::Vector;

constexpr double kPi = std::numbers::pi;
// Solid angles come from a sample of the sphere, good to about 0.1 percent.
constexpr double kSampledShare = 2e-3;

TEST(CauchyCroftonTest, PlanarWeightsOfTheStandardSets) {
  Neighbourhood<2, int> nb;
  for (float w : CauchyCroftonWeights<2, float>(nb.Common(4, false), Vector<2, float>(1, 1)))
    EXPECT_NEAR(w, kPi / 4, 1e-6);
  const auto w8 = CauchyCroftonWeights<2, float>(nb.Common(8, false), Vector<2, float>(1, 1));
  for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(w8[k], kPi / 8, 1e-6) << k;
  for (size_t k = 4; k < 8; ++k) EXPECT_NEAR(w8[k], kPi / (8 * std::sqrt(2.0)), 1e-6) << k;
}

TEST(CauchyCroftonTest, SpatialFaceWeightsWithAndWithoutAnisotropy) {
  Neighbourhood<3, int> nb;
  nb.Common(6, false);
  for (float w : CauchyCroftonWeights<3, float>(nb, Vector<3, float>(1, 1, 1)))
    EXPECT_NEAR(w, 2.0 / 3, 2.0 / 3 * kSampledShare);
  // Voxels four times thinner along z: the axes keep their solid angles, the voxel volume is a
  // quarter, and the z edges are four times shorter.
  const auto w = CauchyCroftonWeights<3, float>(nb, Vector<3, float>(1, 1, 0.25f));
  for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(w[k], 1.0 / 6, 1.0 / 6 * kSampledShare) << k;
  for (size_t k = 4; k < 6; ++k) EXPECT_NEAR(w[k], 2.0 / 3, 2.0 / 3 * kSampledShare) << k;
}

// Weight per unit boundary measure of a straight boundary with unit normal n: every edge it cuts
// counts once, and edges along offset k cross it |n . e_k| / V times per unit of measure.
template <size_t N>
double CutPerMeasure(const Neighbourhood<N, int>& nb, const Vector<N, float>& spacing,
                     const std::vector<float>& w, const double* n) {
  double volume = 1, cut = 0;
  for (size_t a = 0; a < N; ++a) volume *= spacing[a];
  for (size_t k = 0; k < nb.Elems(); ++k) {
    double dot = 0;
    for (size_t a = 0; a < N; ++a) dot += n[a] * nb[k][a] * spacing[a];
    if (dot > 0) cut += w[k] * dot / volume;  // each undirected edge once
  }
  return cut;
}

template <size_t N>
double MeanOverOrientations(size_t size, const Vector<N, float>& spacing) {
  Neighbourhood<N, int> nb;
  nb.Common(size, false);
  const std::vector<float> w = CauchyCroftonWeights<N, float>(nb, spacing);
  std::mt19937 rng(7);
  std::normal_distribution<double> gauss;
  constexpr int kSamples = 200000;
  double sum = 0;
  for (int s = 0; s < kSamples; ++s) {
    double n[3] = {gauss(rng), gauss(rng), N == 3 ? gauss(rng) : 0.0};
    const double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& c : n) c /= l;
    sum += CutPerMeasure<N>(nb, spacing, w, n);
  }
  return sum / kSamples;
}

TEST(CauchyCroftonTest, AveragedOverOrientationsTheCutMeasuresLength) {
  for (size_t size : {4, 8, 16, 32}) {
    EXPECT_NEAR(MeanOverOrientations<2>(size, Vector<2, float>(1, 1)), 1.0, 0.01) << size;
    EXPECT_NEAR(MeanOverOrientations<2>(size, Vector<2, float>(1, 0.3f)), 1.0, 0.01) << size;
  }
  for (size_t size : {6, 18, 26, 98}) {
    EXPECT_NEAR(MeanOverOrientations<3>(size, Vector<3, float>(1, 1, 1)), 1.0, 0.01) << size;
    EXPECT_NEAR(MeanOverOrientations<3>(size, Vector<3, float>(0.5f, 0.5f, 1)), 1.0, 0.01) << size;
  }
}

// The worst relative error over all orientations of a straight line shrinks as the set of
// directions grows: about 21 percent for 4 neighbours, 8 percent for 8, 2 percent for 16.
TEST(CauchyCroftonTest, FinerSetsMeasureEveryOrientationMoreEvenly) {
  Neighbourhood<2, int> nb;
  double previous_error = 1;
  for (size_t size : {4, 8, 16, 32}) {
    nb.Common(size, false);
    const auto w = CauchyCroftonWeights<2, float>(nb, Vector<2, float>(1, 1));
    double worst = 0;
    for (int step = 0; step < 3600; ++step) {
      const double angle = step * kPi / 3600, n[2] = {std::cos(angle), std::sin(angle)};
      worst = std::max(worst, std::abs(CutPerMeasure<2>(nb, Vector<2, float>(1, 1), w, n) - 1));
    }
    EXPECT_LT(worst, previous_error) << size;
    EXPECT_LT(worst, 0.25 / (size / 4)) << size;
    previous_error = worst;
  }
}

TEST(CauchyCroftonTest, RefusesOffsetsThatDoNotMakeLines) {
  const std::string method = "Kerf::Energy::CauchyCroftonWeights<2,float>";
  Neighbourhood<2, int> nb;
  auto expect = [&](const char* message) {
    try {
      CauchyCroftonWeights<2, float>(nb, Vector<2, float>(1, 1));
      ADD_FAILURE() << "no exception for " << message;
    } catch (const Kerf::System::ArgumentException& e) {
      EXPECT_EQ(e.Method(), method);
      EXPECT_EQ(std::string(e.what()), message);
    }
  };
  expect("The neighbourhood must not be empty.");
  nb.Common(8, true);
  expect("The neighbourhood must not contain the origin.");
  nb.Common(8, false);
  nb[4] = Vector<2, int>(2, 2);
  expect("Every offset of the neighbourhood must be primitive.");
  nb[4] = nb[0];
  expect("The neighbourhood must not repeat an offset.");
}

}  // namespace
