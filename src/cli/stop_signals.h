#pragma once

#include <signal.h>

#include <array>
#include <chrono>

namespace waymock::cli {

// SIGINT, SIGTERM and SIGHUP ask a running transmission to stop; SIGPIPE is
// ignored so that a reader of standard output that goes away ends the run
// through a failed write, with the port still closed properly. The previous
// handlers come back on destruction. One instance at a time.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  bool raised() const;

  // Waits `duration`, or less when a stop signal comes or `alsoFd`,
  // `otherFd` or `thirdFd` (when not -1) becomes readable. The handler writes to a pipe
  // that the wait polls, so a signal that arrives just before the wait starts
  // still cuts it short.
  void wait(std::chrono::nanoseconds duration, int alsoFd = -1, int otherFd = -1, int thirdFd = -1);

 private:
  static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

  int pipe_[2] = {-1, -1};
  std::array<struct sigaction, kSignals.size()> old_{};
  struct sigaction oldPipe_ {};
};

}  // namespace waymock::cli
