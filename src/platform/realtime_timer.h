#pragma once

#include <chrono>

namespace waymock {

// The real-time clock (what the sentences' time fields carry) and the
// monotonic clock read together: a change of their difference is a step of
// the real-time clock (it was set, or the machine slept).
struct ClockReading {
  std::chrono::nanoseconds realtime{};   // since 1970-01-01 00:00 UTC
  std::chrono::nanoseconds monotonic{};  // since an arbitrary start
};
ClockReading readClocks();

// A timer that expires at an absolute time of the real-time clock, as a
// descriptor to poll: a command-line loop polls it with its other
// descriptors, and a window watches it without blocking its thread. The
// descriptor also becomes readable when the real-time clock is set, so a
// schedule on that clock hears of the step at once instead of sleeping
// through it.
class RealtimeTimer {
 public:
  // Throws IoError when the system has no timer to give.
  RealtimeTimer();
  ~RealtimeTimer();
  RealtimeTimer(const RealtimeTimer&) = delete;
  RealtimeTimer& operator=(const RealtimeTimer&) = delete;

  // Readable once the timer expires or the clock is set; never blocks.
  int fd() const { return fd_; }
  // Expires once at `realtime` (since 1970), at once when that has passed.
  // Replaces any earlier time.
  void armAt(std::chrono::nanoseconds realtime);

  enum class Event { none, expired, clockSet };
  // What made the descriptor readable, and makes it quiet again until the
  // next event; `none` when nothing happened. After clockSet the timer must
  // be armed again.
  Event take();

 private:
  int fd_ = -1;
};

}  // namespace waymock
