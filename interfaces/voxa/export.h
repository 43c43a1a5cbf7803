// Symbol visibility of the two image-library shared objects. Both are built with hidden
// visibility by default; what a caller may use is marked here.
#pragma once

#if defined(_WIN32)
#define VOXA_EXPORT_ATTR __declspec(dllexport)
#else
#define VOXA_EXPORT_ATTR __attribute__((visibility("default")))
#endif

#define VOXA_CORE_API VOXA_EXPORT_ATTR
#define VOXA_ALGO_API VOXA_EXPORT_ATTR
