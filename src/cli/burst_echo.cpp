#include "cli/burst_echo.h"

#include <cerrno>
#include <cstdio>

#include "cli/commands.h"

namespace waymock::cli {

void BurstEcho::write(const std::string& burst) {
  if (error_ != 0) return;
  errno = 0;
  if (std::fwrite(burst.data(), 1, burst.size(), stdout) != burst.size() ||
      std::fwrite("\r\n", 1, 2, stdout) != 2 || std::fflush(stdout) != 0) {
    error_ = errno != 0 ? errno : EIO;
  }
}

void BurstEcho::check() const {
  if (error_ != 0 && error_ != EPIPE) throw RuntimeFailure("Cannot write to standard output.");
}

}  // namespace waymock::cli
