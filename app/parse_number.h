// Number parsing of the command line with the C library's rules: leading white space, an optional
// sign, then digits (for reals also a fraction and an exponent); the rest of the text is ignored
// and a text without a leading number gives 0. Unlike atoi, an integer outside the range of int
// saturates to INT_MIN or INT_MAX instead of being undefined.
#pragma once

namespace trel::app {

int ParseInt(const char* text);
double ParseReal(const char* text);

}  // namespace trel::app
