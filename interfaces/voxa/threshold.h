// Thresholding: a binary image that is true where the input lies within a closed value band.
#pragma once

#include <type_traits>

#include "voxa/export.h"
#include "voxa/image3d.h"

namespace voxa {

// Sizes `out` like `in`, copies its resolution and offset, and sets each voxel to TOut(1) where
// lo <= in <= hi and to TOut(0) elsewhere. Cost O(voxels).
template <class TIn, class TOut>
void Threshold(const Image3d<TIn>& in, Image3d<TOut>& out, std::type_identity_t<TIn> lo,
               std::type_identity_t<TIn> hi);

extern template VOXA_ALGO_API void Threshold<unsigned char, bool>(const Image3d<unsigned char>&,
                                                                  Image3d<bool>&, unsigned char,
                                                                  unsigned char);
extern template VOXA_ALGO_API void Threshold<unsigned short, bool>(const Image3d<unsigned short>&,
                                                                   Image3d<bool>&, unsigned short,
                                                                   unsigned short);
extern template VOXA_ALGO_API void Threshold<float, bool>(const Image3d<float>&, Image3d<bool>&,
                                                          float, float);

}  // namespace voxa
