// trel::Error: the one exception type through which every failure leaves the library. It holds
// a printf-formatted message, one sentence ending in "!", with the cause in parentheses.
#pragma once

#include <exception>
#include <string>

#include "trel/export.h"

namespace trel {

class TREL_API Error : public std::exception {
 public:
  // Formats the message printf-style. Messages are limited to 1023 characters; a longer text is
  // cut there, never written past the buffer.
  Error(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  Error(const Error& other);
  virtual ~Error();
  Error& operator=(const Error& other);
  virtual const char* what() const noexcept override;

 private:
  std::string message;
};

}  // namespace trel
