#include "trel/error.h"

#include <cstdarg>
#include <cstdio>

namespace trel {

namespace {
constexpr size_t kMessageBuffer = 1024;
}

Error::Error(const char* fmt, ...) : std::exception() {
  char buffer[kMessageBuffer];
  buffer[0] = '\0';
  va_list args;
  va_start(args, fmt);
  vsnprintf(buffer, sizeof buffer, fmt, args);  // truncates at 1023 characters
  va_end(args);
  message = buffer;
}

Error::Error(const Error& other) : std::exception(), message(other.message) {}

Error::~Error() {}

Error& Error::operator=(const Error& other) {
  if (this != &other) message = other.message;
  return *this;
}

const char* Error::what() const noexcept {
  return message.c_str();
}

}  // namespace trel
