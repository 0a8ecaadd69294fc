#include "sky/gps_time.h"

#include <array>

namespace waymock::sky {

namespace {

struct LeapStep {
  int year, month, day;  // 00:00:00 UTC of this day
};

// The days from which GPS time ran one more second ahead of UTC (IERS Bulletin
// C): the n-th entry begins GPS - UTC = n.
constexpr std::array<LeapStep, 18> kLeapSteps = {{
    {1981, 7, 1},
    {1982, 7, 1},
    {1983, 7, 1},
    {1985, 7, 1},
    {1988, 1, 1},
    {1990, 1, 1},
    {1991, 1, 1},
    {1992, 7, 1},
    {1993, 7, 1},
    {1994, 7, 1},
    {1996, 1, 1},
    {1997, 7, 1},
    {1999, 1, 1},
    {2006, 1, 1},
    {2009, 1, 1},
    {2012, 7, 1},
    {2015, 7, 1},
    {2017, 1, 1},
}};

}  // namespace

int leapSeconds(TDateTime utc) {
  for (std::size_t i = kLeapSteps.size(); i > 0; --i) {
    const LeapStep& step = kLeapSteps[i - 1];
    if (utc >= static_cast<double>(daysFromCivil(step.year, step.month, step.day)))
      return static_cast<int>(i);
  }
  return 0;
}

double gpsSecondsFromUtc(TDateTime utc) {
  static const double gpsEpoch = static_cast<double>(daysFromCivil(1980, 1, 6));
  return (utc - gpsEpoch) * 86'400 + leapSeconds(utc);
}

}  // namespace waymock::sky
