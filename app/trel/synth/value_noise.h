// Smooth random texture: 3D value noise, i.e. hashed random values at the integer lattice points
// blended by a quintic fade curve, so that the field is smooth, has features about one lattice
// unit wide and is the same for the same seed and point on every run.
#pragma once

#include <cstdint>

namespace trel::tool {

// A value in [-1, 1] at the point (x, y, z) of the field `seed`.
double ValueNoise(uint64_t seed, double x, double y, double z);

}  // namespace trel::tool
