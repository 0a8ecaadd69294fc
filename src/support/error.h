#pragma once

#include <stdexcept>
#include <string>

namespace waymock {

// The one error type of the core. Validation errors carry the exact user-facing
// message text, so callers can show or log what() unchanged.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Input/output failures (files, devices) that the caller is expected to report.
// The system's own text for the failure, when one was recorded, is kept apart
// from the message, so what() stays the fixed sentence and the error log can
// append the system's words.
class IoError : public Error {
 public:
  using Error::Error;
  IoError(const std::string& message, std::string systemText)
      : Error(message), systemText_(std::move(systemText)) {}

  // Empty when no system error was recorded.
  const std::string& systemText() const noexcept { return systemText_; }

 private:
  std::string systemText_;
};

[[noreturn]] void raise(const std::string& message);
[[noreturn]] void raiseIo(const std::string& message);
// Records the system's text for `errnoValue` (as strerror words it) with the message.
[[noreturn]] void raiseIo(const std::string& message, int errnoValue);

// The system's text for an errno value, in English whatever the locale;
// "Unknown error N" when it has none.
std::string systemErrorText(int errnoValue);
// The resolver's text for a getaddrinfo error, in English whatever the locale.
std::string resolverErrorText(int gaiError);

}  // namespace waymock
