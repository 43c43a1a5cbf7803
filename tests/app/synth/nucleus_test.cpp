// The nucleus model: the trigonometry-free outline against the direct formula, the outline at
// the semi-axes, rotation, mitosis, and an emission that is positive inside.
#include "nucleus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace trel::tool {
namespace {

TEST(NucleusTest, OutlineMatchesTheDirectFormula) {
  RandomSource random(11);
  for (int round = 0; round < 20; ++round) {
    Nucleus n = MakeNucleus(random, random.Uniform(5.0, 20.0), round % 2 == 0);
    n.angle = random.Uniform(-3.0, 3.0);
    const NucleusFrame frame(n);
    for (int k = 0; k < 50; ++k) {
      const double dx = random.Uniform(-25, 25), dy = random.Uniform(-25, 25),
                   dz = random.Uniform(-5, 5);
      const LocalPoint p = ToLocal(frame, dx, dy, dz);
      // Direct: rotate, scale, then bend with cos(m phi + phase), m = 2, 3, 4.
      const auto axes = SemiAxes(n);
      const double u = (std::cos(n.angle) * dx + std::sin(n.angle) * dy) / axes[0];
      const double v = (-std::sin(n.angle) * dx + std::cos(n.angle) * dy) / axes[1];
      const double w = dz / axes[2];
      const double phi = std::atan2(v, u);
      double outline = 1.0;
      for (int h = 0; h < kHarmonics; ++h)
        outline += n.bend[h] * std::cos((h + 2) * phi + n.bend_phase[h]);
      EXPECT_NEAR(p.rho, std::sqrt(u * u + v * v + w * w) / outline, 1e-9);
    }
  }
}

TEST(NucleusTest, PlainEllipseMeetsItsSemiAxes) {
  RandomSource random(2);
  Nucleus n = MakeNucleus(random, 10.0, false);
  n.bend = {0.0, 0.0, 0.0};
  n.elongation = 4.0;              // semi-axes 20 and 5
  n.angle = std::numbers::pi / 2;  // long axis along y
  const NucleusFrame frame(n);
  EXPECT_NEAR(ToLocal(frame, 0.0, 20.0, 0.0).rho, 1.0, 1e-12);
  EXPECT_NEAR(ToLocal(frame, 5.0, 0.0, 0.0).rho, 1.0, 1e-12);
  EXPECT_NEAR(ToLocal(frame, 0.0, 0.0, 0.0).rho, 0.0, 1e-12);
  EXPECT_GT(ToLocal(frame, 6.0, 0.0, 0.0).rho, 1.0);
  EXPECT_LE(ReachXY(n), 21.0 + 1e-9);
}

TEST(NucleusTest, MitosisCondensesAndBrightens) {
  RandomSource random(4);
  Nucleus n = MakeNucleus(random, 10.0, false);
  n.age = 19.0;
  n.cycle = 0.0;  // cells that never divide never enter mitosis
  EXPECT_FALSE(InMitosis(n));
  const auto before = SemiAxes(n);
  const LocalPoint centre = ToLocal(NucleusFrame(n), 0.0, 0.0, 0.0);
  const double brightness = Emission(n, centre);
  n.cycle = 30.0;
  EXPECT_FALSE(InMitosis(n));
  n.cycle = 20.0;
  EXPECT_TRUE(InMitosis(n));
  EXPECT_LT(SemiAxes(n)[0], before[0]);
  EXPECT_GT(Emission(n, centre), brightness);
}

TEST(NucleusTest, EmissionIsPositiveInsideAndVaries) {
  RandomSource random(8);
  const Nucleus n = MakeNucleus(random, 12.0, true);
  const NucleusFrame frame(n);
  double lowest = 1e9, highest = 0.0;
  for (int k = 0; k < 400; ++k) {
    const LocalPoint p =
        ToLocal(frame, random.Uniform(-8, 8), random.Uniform(-8, 8), random.Uniform(-4, 4));
    if (p.rho > 1.0) continue;
    const double e = Emission(n, p);
    EXPECT_GE(e, 0.0);
    lowest = std::min(lowest, e);
    highest = std::max(highest, e);
  }
  EXPECT_GT(highest, 1.3 * lowest);  // textured, not flat
}

}  // namespace
}  // namespace trel::tool
