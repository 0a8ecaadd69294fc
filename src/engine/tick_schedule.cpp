#include "engine/tick_schedule.h"

#include <algorithm>

namespace waymock {

namespace {

using std::chrono::nanoseconds;

// The first whole second at or after `time` (which may be before 1970).
nanoseconds nextWholeSecond(nanoseconds time) {
  return std::chrono::ceil<std::chrono::seconds>(time);
}

nanoseconds abs(nanoseconds d) {
  return d < nanoseconds::zero() ? -d : d;
}

}  // namespace

TickSchedule::TickSchedule(nanoseconds interval, nanoseconds phase, ClockReading now)
    : interval_(std::max<nanoseconds>(interval, std::chrono::milliseconds(1))),
      phase_(phase),
      lateness_(std::min(interval_ / 2, kMaxLateness)) {
  alignTo(now);
}

void TickSchedule::alignTo(ClockReading now) {
  anchor_ = nextWholeSecond(now.realtime);
  next_ = 0;
  clockOffset_ = now.realtime - now.monotonic;
}

TickSchedule::Wake TickSchedule::take(ClockReading now) {
  Wake wake;
  const nanoseconds offset = now.realtime - now.monotonic;
  if (abs(offset - clockOffset_) > kClockStep) {
    wake.clockStep = offset - clockOffset_;
    alignTo(now);
  }
  // Small steps and the clock's slewing are followed, not taken for steps
  // when they add up.
  clockOffset_ = offset;

  const nanoseconds late = now.realtime - deadline();
  if (late < nanoseconds::zero()) return wake;
  if (late >= lateness_) {
    // Every tick whose deadline is lateness_ or more behind is given up.
    wake.skipped = (late - lateness_) / interval_ + 1;
    next_ += wake.skipped;
    skipped_ += wake.skipped;
    if (now.realtime < deadline()) return wake;
  }
  wake.epoch = epoch();
  ++next_;
  return wake;
}

}  // namespace waymock
