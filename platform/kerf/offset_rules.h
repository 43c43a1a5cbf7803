// The rules a neighbourhood must follow to serve as the edge set of a length-measuring grid
// graph: no origin, no offset twice, every offset primitive (a multiple of a shorter offset would
// repeat its lines), and, when asked, every offset paired with its opposite so that every edge
// is undirected.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <numeric>
#include <string>

#include "kerf/exceptions.h"
#include "kerf/neighbourhood.h"

namespace Kerf::Energy::detail {

template <size_t N>
bool SameOffset(const Math::Algebra::Vector<N, int>& a, const Math::Algebra::Vector<N, int>& b,
                int sign) {
  for (size_t i = 0; i < N; ++i)
    if (a[i] != sign * b[i]) return false;
  return true;
}

template <size_t N>
void CheckGraphOffsets(const std::string& method, const Neighbourhood<N, int>& nb,
                       bool require_pairs) {
  auto refuse = [&](int line, const char* message) {
    throw System::ArgumentException(method.c_str(), line, message);
  };
  if (nb.Elems() == 0) refuse(__LINE__, "The neighbourhood must not be empty.");
  for (size_t k = 0; k < nb.Elems(); ++k) {
    int divisor = 0;
    for (size_t i = 0; i < N; ++i) divisor = std::gcd(divisor, std::abs(nb[k][i]));
    if (divisor == 0) refuse(__LINE__, "The neighbourhood must not contain the origin.");
    if (divisor != 1) refuse(__LINE__, "Every offset of the neighbourhood must be primitive.");
    bool paired = false;
    for (size_t j = 0; j < nb.Elems(); ++j) {
      if (j != k && SameOffset<N>(nb[k], nb[j], 1))
        refuse(__LINE__, "The neighbourhood must not repeat an offset.");
      paired = paired || SameOffset<N>(nb[k], nb[j], -1);
    }
    if (require_pairs && !paired)
      refuse(__LINE__, "Every offset of the neighbourhood needs its opposite.");
  }
}

}  // namespace Kerf::Energy::detail
