// Thresholding into a binary image (see voxa/threshold.h).
#include "voxa/threshold.h"

namespace voxa {

template <class TIn, class TOut>
void Threshold(const Image3d<TIn>& in, Image3d<TOut>& out, std::type_identity_t<TIn> lo,
               std::type_identity_t<TIn> hi) {
  out.MakeRoom(in.GetSizeX(), in.GetSizeY(), in.GetSizeZ());
  out.SetResolution(in.GetResolution());
  out.SetOffset(in.GetOffset());
  const TIn* from = in.begin();
  TOut* to = out.begin();
  for (uint64_t k = 0, n = in.GetImageSize(); k < n; ++k)
    to[k] = (lo <= from[k] && from[k] <= hi) ? TOut(1) : TOut(0);
}

template VOXA_ALGO_API void Threshold<unsigned char, bool>(const Image3d<unsigned char>&,
                                                           Image3d<bool>&, unsigned char,
                                                           unsigned char);
template VOXA_ALGO_API void Threshold<unsigned short, bool>(const Image3d<unsigned short>&,
                                                            Image3d<bool>&, unsigned short,
                                                            unsigned short);
template VOXA_ALGO_API void Threshold<float, bool>(const Image3d<float>&, Image3d<bool>&, float,
                                                   float);

}  // namespace voxa
