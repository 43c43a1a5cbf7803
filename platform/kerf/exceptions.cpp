// The library's exception classes: a method name, a line and a message; what() returns the
// message, and the out-of-memory class always says "Out of memory.".
#include "kerf/exceptions.h"

namespace Kerf::System {

namespace {
constexpr const char* kOutOfMemory = "Out of memory.";
}  // namespace

Exception::Exception(const char* method, int line, const std::string& message)
    : std::exception(), m_method(method), m_line(line), m_message(message) {}
Exception::Exception(const Exception& other) = default;
Exception& Exception::operator=(const Exception& other) = default;
Exception::~Exception() = default;
const char* Exception::what() const noexcept {
  return m_message.c_str();
}

ArgumentException::ArgumentException(const char* method, int line, const std::string& message)
    : Exception(method, line, message) {}
ArgumentException::~ArgumentException() = default;

OverflowException::OverflowException(const char* method, int line, const std::string& message)
    : Exception(method, line, message) {}
OverflowException::~OverflowException() = default;

OutOfMemoryException::OutOfMemoryException(const char* method, int line)
    : Exception(method, line, kOutOfMemory) {}
OutOfMemoryException::~OutOfMemoryException() = default;

}  // namespace Kerf::System

namespace Kerf::Math {

ConvergenceException::ConvergenceException(const char* method, int line, const std::string& message)
    : System::Exception(method, line, message) {}
ConvergenceException::~ConvergenceException() = default;

}  // namespace Kerf::Math
