#pragma once

#include <chrono>
#include <memory>

#include "support/clock.h"

namespace waymock {

// The system's clock.
std::shared_ptr<const Clock> systemClock();

// A time of the real-time clock, counted from 1970-01-01 00:00 UTC, as a
// date and time.
TDateTime dateTimeFromUnix(std::chrono::nanoseconds sinceEpoch);

}  // namespace waymock
