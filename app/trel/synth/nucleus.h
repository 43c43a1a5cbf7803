// The model of one fluorescent nucleus: an ellipsoid (an ellipse in 2D) whose outline is bent by
// a few low angular harmonics, with a domed, textured and spotted brightness carried in the
// nucleus' own rotating frame, so that its texture moves and turns with it. Lengths are in
// x/y voxels; z positions are physical (slice index times the slice spacing in x/y voxels).
#pragma once

#include <array>
#include <cstdint>

#include "random_source.h"

namespace trel::tool {

inline constexpr int kHarmonics = 3;    // outline bends of orders 2, 3 and 4
inline constexpr int kMaxSpots = 6;     // bright chromatin spots per nucleus
inline constexpr int kMaxNucleoli = 3;  // dark nucleoli per nucleus

struct Spot {
  std::array<double, 3> at;  // in the nucleus' normalised frame (inside the unit ball)
  double gain;   // added (spots) or removed (nucleoli) brightness, relative to the nucleus'
  double width;  // standard deviation, in normalised units
};

struct Nucleus {
  // Motion.
  std::array<double, 3> centre{};
  std::array<double, 3> velocity{};
  double angle = 0.0;  // orientation of the long axis in the x/y plane, radians
  double spin = 0.0;   // angular velocity, radians per frame
  // Shape.
  double size = 10.0;        // equivalent radius in x/y at the current age
  double birth_size = 10.0;  // equivalent radius at birth
  double elongation = 1.2;   // long over short semi-axis
  double flatness = 0.75;    // z semi-axis over the equivalent radius (3D)
  std::array<double, kHarmonics> bend{};
  std::array<double, kHarmonics> bend_phase{};
  // Appearance.
  double brightness = 1.0;
  uint64_t texture_seed = 0;
  int spot_count = 0;
  std::array<Spot, kMaxSpots> spots{};
  int nucleolus_count = 0;
  std::array<Spot, kMaxNucleoli> nucleoli{};
  // Life.
  double age = 0.0;
  double cycle = 0.0;  // frames from birth to division; 0: never divides
};

// Draws the shape and appearance of a new nucleus of equivalent radius `size`.
Nucleus MakeNucleus(RandomSource& random, double size, bool three_d);

// The semi-axes (long, short, z) for the current size and stage of the cycle: nuclei round up
// and condense around a division.
std::array<double, 3> SemiAxes(const Nucleus& n);

// Largest distance from the centre that the outline can reach, along x/y and along z.
double ReachXY(const Nucleus& n);
double ReachZ(const Nucleus& n);

// The nucleus' frame in the current frame of the sequence: what maps image points into it,
// computed once per nucleus so that no trigonometry is left per voxel.
struct NucleusFrame {
  explicit NucleusFrame(const Nucleus& n);
  std::array<double, 3> axes;  // semi-axes (SemiAxes)
  double cos_angle, sin_angle;
  std::array<double, kHarmonics> bend_cos, bend_sin;  // bend_k times cos / sin of its phase
};

// A point relative to the centre, rotated into the nucleus' frame and divided by its semi-axes.
struct LocalPoint {
  std::array<double, 3> q;
  double rho;  // normalised distance: below 1 inside the outline
};
LocalPoint ToLocal(const NucleusFrame& f, double dx, double dy, double dz);

// Relative emitted brightness (about 1 on average) at a point inside the nucleus.
double Emission(const Nucleus& n, const LocalPoint& p);

// True during the last frames of the cycle and the first ones of the next (a division lies
// between them), when the nucleus is condensed and bright.
bool InMitosis(const Nucleus& n);

}  // namespace trel::tool
