// Edge weights that make a grid graph's cut measure boundary length (2D) or area (3D) by the
// Cauchy-Crofton formula (Boykov and Kolmogorov, ICCV 2003), for any voxel spacing: the edges
// along offset k lie on parallel lines spaced V / |e_k| apart (V the voxel area or volume, e_k
// the offset in physical units) covering the share dPhi_k of directions nearest to e_k:
//   2D: w_k = V dPhi_k / (2 |e_k|), dPhi_k an angle (exact);
//   3D: w_k = V dPhi_k / (pi |e_k|), dPhi_k a solid angle (from a Fibonacci sample of the sphere).
#pragma once

#include <cstddef>
#include <vector>

#include "kerf/export.h"
#include "kerf/neighbourhood.h"
#include "kerf/vector.h"

namespace Kerf::Energy {

// One weight per offset of nb, in its order. Throws ArgumentException when nb is empty or holds
// the origin, a repeated offset or one whose components have a common divisor above 1.
template <size_t N, class T>
KERF_API std::vector<T> CauchyCroftonWeights(const Neighbourhood<N, int>& nb,
                                             const Math::Algebra::Vector<N, T>& spacing);

extern template KERF_API std::vector<float> CauchyCroftonWeights<2, float>(
    const Neighbourhood<2, int>&, const Math::Algebra::Vector<2, float>&);
extern template KERF_API std::vector<float> CauchyCroftonWeights<3, float>(
    const Neighbourhood<3, int>&, const Math::Algebra::Vector<3, float>&);

}  // namespace Kerf::Energy
