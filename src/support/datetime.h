#pragma once

#include <cstdint>

namespace waymock {

// Day count since 30 December 1899; the fraction is the time of day.
using TDateTime = double;

struct DateTimeParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Throws Error for a field out of its calendar range.
TDateTime encodeDateTime(const DateTimeParts& parts);

// Splits a day count, first rounded to the nearest millisecond, so that
// 23:59:59.9996 comes out as 00:00:00.000 of the next day.
DateTimeParts decodeDateTime(TDateTime value);

// Seconds since 1970-01-01 UTC as a day count, for any time of the years 0000
// to 9999 (a count of nanoseconds ends in 2262).
TDateTime dateTimeFromUnixSeconds(long double seconds);

// Days since 1899-12-30 for a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(int year, int month, int day);
void civilFromDays(std::int64_t days, int& year, int& month, int& day);

}  // namespace waymock
