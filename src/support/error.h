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
class IoError : public Error {
 public:
  using Error::Error;
};

[[noreturn]] void raise(const std::string& message);
[[noreturn]] void raiseIo(const std::string& message);

}  // namespace waymock
