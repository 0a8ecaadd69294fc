#include "cli/burst_echo.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "cli/commands.h"

namespace waymock::cli {

BurstEcho::BurstEcho(std::function<bool()> stopping) : stopping_(std::move(stopping)) {}

void BurstEcho::write(const std::string& burst) {
  if (error_ != 0) return;
  // A pipe with room for one more page, or a terminal that is not paused,
  // takes a burst (well under a page) without waiting.
  pollfd out{STDOUT_FILENO, POLLOUT, 0};
  int ready = 0;
  do {
    ready = ::poll(&out, 1, 0);
  } while (ready < 0 && errno == EINTR);
  if (ready == 0) {
    if (dropped_++ == 0) {
      std::fprintf(stderr,
                   "waymock-cli: Standard output is not being read; bursts it cannot take at "
                   "once are left out of it.\n");
    }
    return;
  }
  text_.assign(burst);
  text_.append("\r\n");
  std::string_view rest = text_;
  while (!rest.empty()) {
    const ssize_t n = ::write(STDOUT_FILENO, rest.data(), rest.size());
    if (n > 0) {
      rest.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      // Ctrl-C or SIGTERM: the run ends, the rest of this burst with it.
      if (stopping_ && stopping_()) return;
    } else {
      error_ = n < 0 ? errno : EIO;
      return;
    }
  }
}

void BurstEcho::check() const {
  if (error_ != 0 && error_ != EPIPE) throw RuntimeFailure("Cannot write to standard output.");
}

}  // namespace waymock::cli
