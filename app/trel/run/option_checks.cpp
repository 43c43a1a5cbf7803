// The validators parse the text themselves: strtod and strtoull report where they stopped and
// whether the value overflowed, which CLI11's own number checks do not show in their messages.
#include "option_checks.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace trel::tool {

namespace {

bool ParseFinite(const std::string& text, double& value) {
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size() && errno != ERANGE &&
         std::isfinite(value);
}

CLI::Validator Finite(bool allow_zero) {
  const std::string what = allow_zero ? "a finite number of 0 or more" : "a finite number above 0";
  return CLI::Validator(
      [allow_zero, what](std::string& text) -> std::string {
        double value = 0;
        if (ParseFinite(text, value) && (allow_zero ? value >= 0 : value > 0)) return "";
        return "must be " + what + ", not " + text;
      },
      allow_zero ? "NONNEGATIVE" : "POSITIVE");
}

}  // namespace

const CLI::Validator kFinitePositive = Finite(false);
const CLI::Validator kFiniteNonNegative = Finite(true);
const CLI::Validator kCount = CLI::Validator(
    [](std::string& text) -> std::string {
      errno = 0;
      char* end = nullptr;
      const bool digits =
          !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
      std::strtoull(text.c_str(), &end, 10);
      if (digits && errno != ERANGE) return "";
      return "must be a whole number of 0 or more, not " + text;
    },
    "");

}  // namespace trel::tool
