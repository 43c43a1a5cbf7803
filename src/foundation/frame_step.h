// One frame's work in a per-frame loop: a failure that is not already a trel::Error becomes one
// that names the frame and the step, "Frame i=<i>: <step> failed! (<cause>)". The cause of an
// exception of the libraries the loop uses is told by `describe`, handed the exception.
#pragma once

#include <cinttypes>
#include <exception>
#include <new>
#include <string>

#include "trel/error.h"

namespace trel {

template <class Work, class Describe>
void RunFrameStep(uint64_t i, const char* step, Work&& work, Describe&& describe) {
  try {
    work();
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw Error("Frame i=%" PRIu64 ": %s failed! (Not enough memory)", i, step);
  } catch (...) {
    const std::string cause = describe(std::current_exception());
    throw Error("Frame i=%" PRIu64 ": %s failed! (%s)", i, step, cause.c_str());
  }
}

// The cause of an exception of the image library; "Unknown exception caught" for any other.
std::string DescribeImageLibraryFailure(const std::exception_ptr& failure);

}  // namespace trel
