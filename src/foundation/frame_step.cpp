#include "foundation/frame_step.h"

#include "voxa/exceptions.h"

namespace trel {

std::string DescribeImageLibraryFailure(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const voxa::InternalException& e) {
    return std::string("voxa::InternalException: ") + e.what();
  } catch (...) {
    return "Unknown exception caught";
  }
}

}  // namespace trel
