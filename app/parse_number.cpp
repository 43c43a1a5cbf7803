#include "parse_number.h"

#include <cctype>
#include <climits>
#include <cstdlib>

namespace trel::app {

int ParseInt(const char* text) {
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  // Accumulate towards the sign so that INT_MIN itself is representable.
  long long value = 0;
  constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
    if (value < kLimit) value = value * 10 + (*p - '0');
  if (negative) return value >= kLimit ? INT_MIN : static_cast<int>(-value);
  return value >= kLimit ? INT_MAX : static_cast<int>(value);
}

double ParseReal(const char* text) {
  // strtod is atof with defined results out of range (HUGE_VAL or 0).
  return std::strtod(text, nullptr);
}

}  // namespace trel::app
