// Two-phase Chan-Vese segmentation by graph cuts: minimises lambda1 * sum over background of
// (I - c1)^2 + lambda2 * sum over foreground of (I - c2)^2 + boundary length, measured on the
// neighbourhood's graph with Cauchy-Crofton weights in the image's spacing (Boykov and
// Kolmogorov, ICCV 2003), region sums weighted by voxel volume. Cuts for fixed means alternate
// with means for a fixed cut (the graph-cut Chan-Vese of El-Zehiry et al., 2007), each step
// lowering the energy, until the means settle within the tolerance or the bound is reached.
//
// With a solver that keeps labelled regions apart (one whose LabelZones answers), the foreground
// mean is taken per label from the second cut on: each label's mean applies in the zone of nodes
// nearer to that label than to any other, so a dim cell is measured against its own brightness
// and a bright one leaves its faint rim to the background. With a single label this is the
// two-phase model. The zones follow the cut rather than the energy, so this alternation can
// cycle; a set of means seen before ends it.
#pragma once

#include <cstddef>

#include "kerf/array.h"
#include "kerf/export.h"
#include "kerf/grid_max_flow.h"
#include "kerf/image.h"
#include "kerf/neighbourhood.h"

namespace Kerf::Algo::Segmentation::ChanVese {

// Segments `image` with `solver` and sizes `result` like it, true for the foreground (the second
// phase, the solver's source side).
//   lambda1, c1   weight and mean of the background; lambda2, c2 those of the foreground. The
//                 means are the starting values and are left as the means of the phases of the
//                 result (an empty phase keeps its mean); with labelled regions c2 is left as
//                 the pooled mean of all labelled nodes.
//   tolerance     the iteration stops when every mean changes by less than this.
//   max_iter      at most max(max_iter, 1) cuts; left unchanged.
//   nb            the graph's offsets; every offset's opposite must be in it too.
// Returns the energy of the result with the returned means. Throws ArgumentException for an
// empty image, a neighbourhood that is empty, holds the origin, a repeated, non-primitive or
// unpaired offset, or a tolerance that is negative or not finite; ConvergenceException when the
// energy or a mean stops being a finite number (non-finite weights or grey values).
template <size_t N, class T>
KERF_API T Compute(const Data::Image<N, T, T>& image, T lambda1, T lambda2, T& c1, T& c2,
                   T tolerance, size_t& max_iter, const Energy::Neighbourhood<N, int>& nb,
                   Flow::IGridMaxFlow<N, T, T, T>& solver,
                   System::Collection::Array<N, bool>& result);

extern template KERF_API float Compute<2, float>(const Data::Image<2, float, float>&, float, float,
                                                 float&, float&, float, size_t&,
                                                 const Energy::Neighbourhood<2, int>&,
                                                 Flow::IGridMaxFlow<2, float, float, float>&,
                                                 System::Collection::Array<2, bool>&);
extern template KERF_API float Compute<3, float>(const Data::Image<3, float, float>&, float, float,
                                                 float&, float&, float, size_t&,
                                                 const Energy::Neighbourhood<3, int>&,
                                                 Flow::IGridMaxFlow<3, float, float, float>&,
                                                 System::Collection::Array<3, bool>&);

}  // namespace Kerf::Algo::Segmentation::ChanVese
