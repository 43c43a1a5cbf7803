// Checks of the tool's numeric options, run on the text before it is converted: a negative count
// would otherwise wrap to 2^64 - 1, and NaN or an overflow to infinity would pass a plain "> 0".
// Each refusal is one short sentence, which the option parser turns into a usage error.
#pragma once

#include <CLI/CLI.hpp>

namespace trel::tool {

// A finite number above 0.
extern const CLI::Validator kFinitePositive;
// A finite number of 0 or more.
extern const CLI::Validator kFiniteNonNegative;
// A whole number of 0 or more that fits 64 bits.
extern const CLI::Validator kCount;

}  // namespace trel::tool
