#include "support/error.h"

#include <cstring>

namespace waymock {

void raise(const std::string& message) {
  throw Error(message);
}

void raiseIo(const std::string& message) {
  throw IoError(message);
}

void raiseIo(const std::string& message, int errnoValue) {
  throw IoError(message, systemErrorText(errnoValue));
}

std::string systemErrorText(int errnoValue) {
  char buffer[256] = {};
  // The GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(errnoValue, buffer, sizeof buffer);
  return text != nullptr && *text != '\0' ? text : "Unknown error " + std::to_string(errnoValue);
}

}  // namespace waymock
