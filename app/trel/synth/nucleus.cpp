// Nucleus outline, frame change and brightness. The outline radius at polar angle phi is
// 1 + sum_k bend_k cos(k phi + phase_k); brightness is a dome 1 - d (rho^2) times two octaves of
// value noise, dimmed by Gaussian nucleoli and brightened by Gaussian chromatin spots, all in the
// normalised frame.
#include "nucleus.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "value_noise.h"

namespace trel::tool {

namespace {

constexpr double kMinElongation = 1.0;
constexpr double kMaxElongation = 1.6;
constexpr double kMaxBend = 0.07;
constexpr double kMitosisFrames = 2.0;
constexpr double kMitosisShrink = 0.85;
constexpr double kMitosisBrightening = 1.5;
constexpr double kMitosisRounding = 0.5;  // fraction of the elongation kept in mitosis
constexpr double kDome = 0.25;
constexpr double kTextureDepth = 0.75;
constexpr double kCoarseTexture = 3.0;  // texture features per nucleus radius
constexpr double kFineTexture = 7.0;
constexpr double kFineWeight = 0.4;
constexpr double kBrightnessSpread = 0.4;  // standard deviation of log brightness
constexpr Range kFlatness = {0.6, 0.85};
constexpr double kSpinSpread = 0.03;  // radians per frame
constexpr double kSpotReach = 0.65;   // spots lie within this normalised radius
constexpr Range kSpotGain = {0.3, 1.0};
constexpr Range kSpotWidth = {0.08, 0.15};
constexpr double kNucleolusReach = 0.5;
constexpr Range kNucleolusDepth = {0.4, 0.75};  // fraction of brightness removed at the centre
constexpr Range kNucleolusWidth = {0.12, 0.22};
constexpr double kFeatureDepth = 0.5;   // spots and nucleoli keep to the middle half in z
constexpr double kTextureDrift = 0.04;  // texture change per frame, in lattice units

std::array<double, 3> RandomInside(RandomSource& random, double radius, bool three_d) {
  const double r = radius * std::sqrt(random.Uniform());
  const double a = random.Uniform(0.0, 2.0 * std::numbers::pi);
  return {r * std::cos(a), r * std::sin(a),
          three_d ? random.Uniform(-kFeatureDepth, kFeatureDepth) * radius : 0.0};
}

double Bump(const Spot& spot, const std::array<double, 3>& q) {
  const double d2 = (q[0] - spot.at[0]) * (q[0] - spot.at[0]) +
                    (q[1] - spot.at[1]) * (q[1] - spot.at[1]) +
                    (q[2] - spot.at[2]) * (q[2] - spot.at[2]);
  return spot.gain * std::exp(-d2 / (2.0 * spot.width * spot.width));
}

double BendSum(const Nucleus& n) {
  double sum = 0.0;
  for (double b : n.bend) sum += b;
  return sum;
}

}  // namespace

Nucleus MakeNucleus(RandomSource& random, double size, bool three_d) {
  Nucleus n;
  n.size = n.birth_size = size;
  n.elongation = random.Uniform(kMinElongation, kMaxElongation);
  n.flatness = three_d ? random.Uniform(kFlatness) : 1.0;
  n.angle = random.Uniform(0.0, 2.0 * std::numbers::pi);
  n.spin = random.Normal(0.0, kSpinSpread);
  for (int k = 0; k < kHarmonics; ++k) {
    n.bend[k] = random.Uniform(0.0, kMaxBend) / (k + 1);
    n.bend_phase[k] = random.Uniform(0.0, 2.0 * std::numbers::pi);
  }
  // Stains take up unevenly: brightness varies about threefold between nuclei.
  // Log-normal with mean 1, so that the mean contrast stays the one asked for.
  n.brightness =
      std::exp(random.Normal(-0.5 * kBrightnessSpread * kBrightnessSpread, kBrightnessSpread));
  n.texture_seed = random.Bits();
  n.spot_count = static_cast<int>(random.Uniform(0.0, kMaxSpots + 1.0));
  for (int s = 0; s < n.spot_count; ++s)
    n.spots[s] = {RandomInside(random, kSpotReach, three_d), random.Uniform(kSpotGain),
                  random.Uniform(kSpotWidth)};
  n.nucleolus_count = static_cast<int>(random.Uniform(0.0, kMaxNucleoli + 1.0));
  for (int s = 0; s < n.nucleolus_count; ++s)
    n.nucleoli[s] = {RandomInside(random, kNucleolusReach, three_d),
                     random.Uniform(kNucleolusDepth), random.Uniform(kNucleolusWidth)};
  return n;
}

bool InMitosis(const Nucleus& n) {
  return n.cycle > 0.0 && (n.age >= n.cycle - kMitosisFrames || n.age < kMitosisFrames);
}

std::array<double, 3> SemiAxes(const Nucleus& n) {
  double size = n.size, elongation = n.elongation;
  if (InMitosis(n)) {
    size *= kMitosisShrink;
    elongation = 1.0 + kMitosisRounding * (elongation - 1.0);
  }
  const double root = std::sqrt(elongation);
  return {size * root, size / root, size * n.flatness};
}

double ReachXY(const Nucleus& n) {
  return SemiAxes(n)[0] * (1.0 + BendSum(n)) + 1.0;
}

double ReachZ(const Nucleus& n) {
  return SemiAxes(n)[2] * (1.0 + BendSum(n)) + 1.0;
}

NucleusFrame::NucleusFrame(const Nucleus& n)
    : axes(SemiAxes(n)), cos_angle(std::cos(n.angle)), sin_angle(std::sin(n.angle)) {
  for (int k = 0; k < kHarmonics; ++k) {
    bend_cos[k] = n.bend[k] * std::cos(n.bend_phase[k]);
    bend_sin[k] = n.bend[k] * std::sin(n.bend_phase[k]);
  }
}

LocalPoint ToLocal(const NucleusFrame& f, double dx, double dy, double dz) {
  LocalPoint p;
  p.q = {(f.cos_angle * dx + f.sin_angle * dy) / f.axes[0],
         (-f.sin_angle * dx + f.cos_angle * dy) / f.axes[1], dz / f.axes[2]};
  const double planar = std::hypot(p.q[0], p.q[1]);
  double outline = 1.0;
  if (planar > 0.0) {
    // cos(m phi + phase) for m = 2, 3, 4 from powers of (cos phi + i sin phi).
    const double c = p.q[0] / planar, s = p.q[1] / planar;
    double cm = c * c - s * s, sm = 2.0 * c * s;
    for (int k = 0; k < kHarmonics; ++k) {
      outline += f.bend_cos[k] * cm - f.bend_sin[k] * sm;
      const double next = cm * c - sm * s;
      sm = sm * c + cm * s;
      cm = next;
    }
  }
  p.rho = std::sqrt(p.q[0] * p.q[0] + p.q[1] * p.q[1] + p.q[2] * p.q[2]) / outline;
  return p;
}

double Emission(const Nucleus& n, const LocalPoint& p) {
  const double drift = kTextureDrift * n.age;
  const auto& q = p.q;
  const double coarse = ValueNoise(n.texture_seed, kCoarseTexture * q[0] + drift,
                                   kCoarseTexture * q[1], kCoarseTexture * q[2] + drift);
  const double fine = ValueNoise(n.texture_seed + 1, kFineTexture * q[0],
                                 kFineTexture * q[1] + drift, kFineTexture * q[2]);
  double value = (1.0 - kDome * p.rho * p.rho) *
                 (1.0 + kTextureDepth * ((1.0 - kFineWeight) * coarse + kFineWeight * fine));
  for (int s = 0; s < n.nucleolus_count; ++s) value *= 1.0 - Bump(n.nucleoli[s], q);
  for (int s = 0; s < n.spot_count; ++s) value += Bump(n.spots[s], q);
  return n.brightness * (InMitosis(n) ? kMitosisBrightening : 1.0) * std::max(value, 0.0);
}

}  // namespace trel::tool
