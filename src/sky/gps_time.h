#pragma once

// GPS time: a continuous count of seconds from its epoch, 1980-01-06 00:00:00
// UTC, that ignores leap seconds, so it runs ahead of UTC by the leap seconds
// inserted since then.

#include "support/datetime.h"

namespace waymock::sky {

inline constexpr double kSecondsPerWeek = 604'800;

// GPS minus UTC at the UTC time `utc`, in whole seconds: 18 since 2017-01-01,
// as the leap second table of the IERS has it. Times before the first leap
// second of GPS time (1981-07-01) count 0, times before GPS time began too;
// times after the last known one keep 18 until a new one is added here.
int leapSeconds(TDateTime utc);

// Seconds since the GPS epoch of the UTC time `utc`.
double gpsSecondsFromUtc(TDateTime utc);

}  // namespace waymock::sky
