#include "cli/stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "cli/commands.h"

namespace waymock::cli {

namespace {

volatile sig_atomic_t raisedFlag = 0;
volatile int wakeFd = -1;

void handle(int) {
  const int saved = errno;
  raisedFlag = 1;
  if (wakeFd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

StopSignals::StopSignals() {
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw RuntimeFailure("Cannot create a pipe.");
  raisedFlag = 0;
  wakeFd = pipe_[1];
  struct sigaction action {};
  action.sa_handler = &handle;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &old_[i]);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &oldPipe_);
}

StopSignals::~StopSignals() {
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &old_[i], nullptr);
  sigaction(SIGPIPE, &oldPipe_, nullptr);
  wakeFd = -1;
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

bool StopSignals::raised() const {
  return raisedFlag != 0;
}

void StopSignals::wait(std::chrono::nanoseconds duration, int alsoFd, int otherFd, int thirdFd) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + duration;
  while (!raised()) {
    const auto left = deadline - Clock::now();
    if (left <= std::chrono::nanoseconds::zero()) return;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>((left - seconds).count())};
    pollfd p[4] = {
        {pipe_[0], POLLIN, 0}, {alsoFd, POLLIN, 0}, {otherFd, POLLIN, 0}, {thirdFd, POLLIN, 0}};
    if (ppoll(p, 4, &timeout, nullptr) > 0) return;
  }
}

}  // namespace waymock::cli
