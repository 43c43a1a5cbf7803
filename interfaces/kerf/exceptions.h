// The library's exceptions. Every raise records the fully qualified name of the raising function,
// the line of the raising statement and a text for people; what() returns that text.
#pragma once

#include <exception>
#include <string>

#include "kerf/export.h"

namespace Kerf::System {

class KERF_API Exception : public std::exception {
 public:
  Exception(const char* method, int line, const std::string& message);
  Exception(const Exception& other);
  Exception& operator=(const Exception& other);
  ~Exception() override;

  const char* what() const noexcept override;
  const std::string& Method() const { return m_method; }
  int Line() const { return m_line; }
  const std::string& Message() const { return m_message; }

 private:
  std::string m_method;
  int m_line;
  std::string m_message;
};

// An argument outside what the operation accepts.
class KERF_API ArgumentException : public Exception {
 public:
  ArgumentException(const char* method, int line, const std::string& message);
  ~ArgumentException() override;
};

// A size whose storage could not even be addressed.
class KERF_API OverflowException : public Exception {
 public:
  OverflowException(const char* method, int line, const std::string& message);
  ~OverflowException() override;
};

// An allocation that failed; the message is always "Out of memory.".
class KERF_API OutOfMemoryException : public Exception {
 public:
  OutOfMemoryException(const char* method, int line);
  ~OutOfMemoryException() override;
};

}  // namespace Kerf::System

namespace Kerf::Math {

// An optimisation whose iterates stopped being finite numbers.
class KERF_API ConvergenceException : public System::Exception {
 public:
  ConvergenceException(const char* method, int line, const std::string& message);
  ~ConvergenceException() override;
};

}  // namespace Kerf::Math
