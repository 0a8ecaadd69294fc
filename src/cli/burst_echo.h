#pragma once

#include <string>

namespace waymock::cli {

// Echoes each transmitted burst on standard output followed by an empty line,
// as the output log keeps them, so standard output can be replayed later.
// Flushed per burst so a pipe sees each burst at once.
class BurstEcho {
 public:
  void write(const std::string& burst);
  // True once standard output failed; the run should stop then.
  bool failed() const { return error_ != 0; }
  // A reader that stopped reading ends the run quietly; any other failure to
  // write standard output is an error (RuntimeFailure).
  void check() const;

 private:
  int error_ = 0;
};

}  // namespace waymock::cli
