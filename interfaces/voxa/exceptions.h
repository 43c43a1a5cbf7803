// The image library's exception types. IOException reports a file that cannot be opened, read,
// parsed or written; InternalException reports a broken precondition inside an algorithm.
#pragma once

#include <stdexcept>
#include <string>

#include "voxa/export.h"

namespace voxa {

class VOXA_CORE_API IOException : public std::runtime_error {
 public:
  explicit IOException(const std::string& message);
  ~IOException() override;
};

class VOXA_CORE_API InternalException : public std::runtime_error {
 public:
  explicit InternalException(const std::string& message);
  ~InternalException() override;
};

}  // namespace voxa
