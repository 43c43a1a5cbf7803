// Smoothing and diffusion filters on 16-bit grey images, in place. Both work on 2D images
// (z size 1) and on 3D stacks.
#pragma once

#include <cstdint>

#include "voxa/export.h"
#include "voxa/image3d.h"
#include "voxa/parallelism.h"

namespace voxa {

// Gaussian smoothing with standard deviation `sigma` pixels along x and y and the same physical
// width along z: sigma * (x voxel size / z voxel size) slices, from the image's resolution (a
// stack with slices twice as far apart as its pixels is smoothed over sigma / 2 slices; without
// a recorded voxel size the voxels count as cubes). The image border is continued by its edge
// value. From sigma 1 on it is the fourth-order recursive
// filter of van Vliet, Young and Verbeek run forwards and backwards along each axis (cost per
// voxel independent of sigma); narrower Gaussians, which no low-order recursion represents
// closely, use the sampled kernel of radius 4 sigma. Results are rounded to the nearest integer
// and clamped to 0..65535. sigma == 0 leaves the image unchanged; a negative or non-finite sigma
// throws InternalException.
VOXA_ALGO_API void GrayGaussIIR(Image3d<unsigned short>& image, double sigma);
// The same on up to parallelism.threads threads; the result is the same for any number.
VOXA_ALGO_API void GrayGaussIIR(Image3d<unsigned short>& image, double sigma,
                                const Parallelism& parallelism);

// The same Gaussians on a float volume, with a standard deviation of its own along each axis in
// voxels (0 leaves that axis alone; the voxel size plays no part) and no rounding: for simulated
// optics, whose point spread is wider along z. Throws InternalException for a negative or
// non-finite sigma.
VOXA_ALGO_API void FloatGaussIIR(Image3d<float>& image, double sigma_x, double sigma_y,
                                 double sigma_z, const Parallelism& parallelism = {});

// Coherence-enhancing diffusion (Weickert 1999) by additive operator splitting, in place.
//   sigma  noise scale: the Gaussian pre-smoothing, in voxels, before gradients are taken
//   rho    integration scale: the Gaussian that averages the structure tensor, in voxels
//   tau    time step; the mixed derivatives are explicit, so a step longer than 1 (2D) or 0.5
//          (3D) is run as several equal sub-steps
//   steps  number of time steps (the diffusion time is steps * tau)
// 2D images use the 2x2 structure tensor, stacks the 3x3 one. Along the direction of coherent
// structure the diffusivity rises towards 1 with coherence; across it, it stays at 0.001.
// Grey values are scaled to 0..255 for the coherence threshold (C = 1), so the filter behaves the
// same on 8-bit and 16-bit data. The mean grey value is kept up to rounding and results stay within
// the input's range. T (float or double) is the arithmetic of the scheme. Throws
// InternalException for a negative or non-finite parameter.
template <class T>
void GrayCED_AOS(Image3d<unsigned short>& image, T sigma, T rho, T tau, uint64_t steps);

extern template VOXA_ALGO_API void GrayCED_AOS<float>(Image3d<unsigned short>&, float, float, float,
                                                      uint64_t);
extern template VOXA_ALGO_API void GrayCED_AOS<double>(Image3d<unsigned short>&, double, double,
                                                       double, uint64_t);

// The same on up to parallelism.threads threads; the result is the same for any number.
template <class T>
void GrayCED_AOS(Image3d<unsigned short>& image, T sigma, T rho, T tau, uint64_t steps,
                 const Parallelism& parallelism);

extern template VOXA_ALGO_API void GrayCED_AOS<float>(Image3d<unsigned short>&, float, float, float,
                                                      uint64_t, const Parallelism&);
extern template VOXA_ALGO_API void GrayCED_AOS<double>(Image3d<unsigned short>&, double, double,
                                                       double, uint64_t, const Parallelism&);

}  // namespace voxa
