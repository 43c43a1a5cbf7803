// Symbol visibility of the graph-cut library. It is built with hidden visibility by default;
// what a caller may use is marked with KERF_API here.
#pragma once

#if defined(_WIN32)
#define KERF_API __declspec(dllexport)
#else
#define KERF_API __attribute__((visibility("default")))
#endif
