// The names under which the library's exceptions report template arguments: namespaces joined by
// "::", no space after the comma between arguments, "class " before an argument of class type and
// a space between two closing ">", so that "Array<1,class Kerf::Math::Algebra::Vector<2,int> >"
// names the same instance whatever compiler built the library.
#pragma once

#include <cstddef>
#include <string>

#include "kerf/vector.h"

namespace Kerf::System {

template <class T>
struct TypeName;  // specialised for every element type the library names

#define KERF_FUNDAMENTAL_TYPE_NAME(type)       \
  template <>                                  \
  struct TypeName<type> {                      \
    static std::string Get() { return #type; } \
  }
KERF_FUNDAMENTAL_TYPE_NAME(bool);
KERF_FUNDAMENTAL_TYPE_NAME(char);
KERF_FUNDAMENTAL_TYPE_NAME(signed char);
KERF_FUNDAMENTAL_TYPE_NAME(unsigned char);
KERF_FUNDAMENTAL_TYPE_NAME(short);
KERF_FUNDAMENTAL_TYPE_NAME(unsigned short);
KERF_FUNDAMENTAL_TYPE_NAME(int);
KERF_FUNDAMENTAL_TYPE_NAME(unsigned int);
KERF_FUNDAMENTAL_TYPE_NAME(long);
KERF_FUNDAMENTAL_TYPE_NAME(unsigned long);
KERF_FUNDAMENTAL_TYPE_NAME(long long);
KERF_FUNDAMENTAL_TYPE_NAME(unsigned long long);
KERF_FUNDAMENTAL_TYPE_NAME(float);
KERF_FUNDAMENTAL_TYPE_NAME(double);
#undef KERF_FUNDAMENTAL_TYPE_NAME

// "name<arg1,arg2>", or "name<arg1,arg2 >" when the last argument itself ends with ">".
inline std::string TemplateName(const std::string& name, const std::string& arguments) {
  const bool nested = !arguments.empty() && arguments.back() == '>';
  return name + "<" + arguments + (nested ? " >" : ">");
}

template <size_t N, class T>
struct TypeName<Math::Algebra::Vector<N, T>> {
  static std::string Get() {
    return "class " + TemplateName("Kerf::Math::Algebra::Vector",
                                   std::to_string(N) + "," + TypeName<T>::Get());
  }
};

}  // namespace Kerf::System
