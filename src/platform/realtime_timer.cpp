#include "platform/realtime_timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

#include "support/error.h"

namespace waymock {

namespace {

std::chrono::nanoseconds read(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

}  // namespace

ClockReading readClocks() {
  return {read(CLOCK_REALTIME), read(CLOCK_MONOTONIC)};
}

RealtimeTimer::RealtimeTimer() : fd_(timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC)) {
  if (fd_ < 0) raiseIo("Cannot create a timer.", errno);
}

RealtimeTimer::~RealtimeTimer() {
  ::close(fd_);
}

void RealtimeTimer::armAt(std::chrono::nanoseconds realtime) {
  // Zero would disarm the timer: a time before 1970 has passed anyway.
  if (realtime <= std::chrono::nanoseconds::zero()) realtime = std::chrono::nanoseconds(1);
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(realtime);
  itimerspec when{};
  when.it_value.tv_sec = static_cast<time_t>(seconds.count());
  when.it_value.tv_nsec = static_cast<long>((realtime - seconds).count());
  // Cancel-on-set wakes the reader when the clock is set, which an absolute
  // time alone would sleep through (an hour back is an hour's sleep).
  if (timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr) != 0) {
    raiseIo("Cannot set the timer.", errno);
  }
}

RealtimeTimer::Event RealtimeTimer::take() {
  std::uint64_t expirations = 0;
  for (;;) {
    const ssize_t n = ::read(fd_, &expirations, sizeof expirations);
    if (n == sizeof expirations) return Event::expired;
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && errno == ECANCELED ? Event::clockSet : Event::none;
  }
}

}  // namespace waymock
