#pragma once

#include "support/datetime.h"

namespace waymock {

// Source of the current date and time, so tests can fix the time. The system's
// clock is the platform's (platform/clock.h).
class Clock {
 public:
  virtual ~Clock() = default;
  // Current UTC date and time, millisecond resolution.
  virtual TDateTime utcNow() const = 0;
  // Current local date and time, for logs meant for people.
  virtual TDateTime localNow() const = 0;
};

// A clock that always reads the same instant (local time equals UTC).
class FixedClock final : public Clock {
 public:
  explicit FixedClock(TDateTime now) : now_(now) {}
  TDateTime utcNow() const override { return now_; }
  TDateTime localNow() const override { return now_; }
  void set(TDateTime now) { now_ = now; }

 private:
  TDateTime now_;
};

}  // namespace waymock
