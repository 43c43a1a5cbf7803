// Image<N, T, S>: the grey values of an N-dimensional image on its grid, an Array<N, T> that the
// caller fills directly (x fastest), with the voxel spacing that gives the grid its physical
// shape: spacing[k] is the size of a voxel along axis k, in a unit the caller chooses.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>

#include "kerf/array.h"
#include "kerf/exceptions.h"
#include "kerf/type_name.h"
#include "kerf/vector.h"

namespace Kerf::Data {

template <size_t N, class T, class S>
class Image : public System::Collection::Array<N, T> {
 public:
  using Spacing = Math::Algebra::Vector<N, S>;

  // An empty image with unit spacing.
  Image() {
    for (size_t k = 0; k < N; ++k) m_spacing[k] = S(1);
  }

  // Throws ArgumentException unless every component is finite and positive.
  void SetSpacing(const Spacing& spacing) {
    for (size_t k = 0; k < N; ++k)
      if (!(spacing[k] > S(0)) || !std::isfinite(spacing[k]))
        throw System::ArgumentException(MethodName("SetSpacing").c_str(), __LINE__,
                                        "The spacing must be finite and positive.");
    m_spacing = spacing;
  }
  const Spacing& GetSpacing() const { return m_spacing; }

  // "Kerf::Data::Image<N,T,S>::method".
  static std::string MethodName(const char* method) {
    return System::TemplateName("Kerf::Data::Image", std::to_string(N) + "," +
                                                         System::TypeName<T>::Get() + "," +
                                                         System::TypeName<S>::Get()) +
           "::" + method;
  }

 private:
  Spacing m_spacing;
};

}  // namespace Kerf::Data
