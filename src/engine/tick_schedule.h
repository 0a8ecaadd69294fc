#pragma once

#include <chrono>
#include <optional>

#include "platform/realtime_timer.h"

namespace waymock {

// The shortest interval between ticks, in seconds, for every front end: the
// time fields carry milliseconds, and shorter ones only pile up late ticks.
inline constexpr long double kShortestInterval = 0.001;

// When ticks come on the second, as a receiver measures: tick k's epoch is
// T0 + k × interval, T0 the first whole second of the real-time clock at or
// after start, and its burst is due `phase` after the epoch, its time fields
// carrying the epoch. The grid is fixed, so nothing drifts.
//
// A tick whose wake comes too late (half an interval after it was due, at most
// half a second) is skipped, not sent in a bunch with the next, and counted.
// When the real-time clock steps by more than a second against the monotonic
// one (it was set, or the machine slept), the grid starts again on the next
// whole second; smaller steps keep it.
//
// Pure arithmetic on the readings it is given: a front end wakes at
// deadline() (a RealtimeTimer armed there) and asks take() what to do.
class TickSchedule {
 public:
  using nanoseconds = std::chrono::nanoseconds;

  static constexpr nanoseconds kMaxLateness = std::chrono::milliseconds(500);
  static constexpr nanoseconds kClockStep = std::chrono::seconds(1);

  // `interval` is taken as kShortestInterval when shorter; `phase` must not be
  // negative.
  TickSchedule(nanoseconds interval, nanoseconds phase, ClockReading now);

  // The next tick's epoch, and the real-time clock's time to send it.
  nanoseconds epoch() const { return anchor_ + next_ * interval_; }
  nanoseconds deadline() const { return epoch() + phase_; }

  struct Wake {
    std::optional<nanoseconds> epoch;  // the epoch of a tick to send now
    long long skipped = 0;             // late ticks given up at this wake
    // Set when the clock stepped by more than kClockStep: by how much (ahead
    // positive); the grid starts again.
    std::optional<nanoseconds> clockStep;
  };
  // At a wake (any time, early ones included): re-aligns after a clock step,
  // skips the ticks too late to send, and hands out the tick that is due, if
  // any; the schedule then moves on to the following one.
  Wake take(ClockReading now);

  long long skippedTicks() const { return skipped_; }

 private:
  void alignTo(ClockReading now);

  nanoseconds interval_;
  nanoseconds phase_;
  nanoseconds lateness_;       // a wake this long after a deadline is too late
  nanoseconds anchor_{};       // T0
  long long next_ = 0;         // k of the next tick
  nanoseconds clockOffset_{};  // realtime - monotonic at the last reading
  long long skipped_ = 0;
};

}  // namespace waymock
