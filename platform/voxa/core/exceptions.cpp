// Out-of-line anchors, so that each exception type has one type_info across shared objects.
#include "voxa/exceptions.h"

namespace voxa {

IOException::IOException(const std::string& message) : std::runtime_error(message) {}
IOException::~IOException() = default;

InternalException::InternalException(const std::string& message) : std::runtime_error(message) {}
InternalException::~InternalException() = default;

}  // namespace voxa
