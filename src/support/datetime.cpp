#include "support/datetime.h"

#include <cmath>
#include <string>

#include "support/error.h"

namespace waymock {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// 1899-12-30 relative to 1970-01-01.
constexpr std::int64_t kEpochOffsetDays = -25'569;

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

// Howard Hinnant's days_from_civil, shifted to the 1899-12-30 epoch.
std::int64_t daysFromCivil(int year, int month, int day) {
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146'097 + doe - 719'468 - kEpochOffsetDays;
}

void civilFromDays(std::int64_t days, int& year, int& month, int& day) {
  const std::int64_t z = days + kEpochOffsetDays + 719'468;
  const std::int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
  const std::int64_t doe = z - era * 146'097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

TDateTime dateTimeFromUnixSeconds(long double seconds) {
  return static_cast<double>(seconds / (kMsPerDay / 1000) - kEpochOffsetDays);
}

TDateTime encodeDateTime(const DateTimeParts& p) {
  if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > daysInMonth(p.year, p.month) ||
      p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 ||
      p.second > 59 || p.millisecond < 0 || p.millisecond > 999) {
    raise("Invalid date or time.");
  }
  const double ms = ((p.hour * 60.0 + p.minute) * 60.0 + p.second) * 1000.0 + p.millisecond;
  return static_cast<double>(daysFromCivil(p.year, p.month, p.day)) + ms / kMsPerDay;
}

DateTimeParts decodeDateTime(TDateTime value) {
  // Round the whole value to milliseconds first so the carry reaches the date.
  const auto total = static_cast<std::int64_t>(std::llround(value * static_cast<double>(kMsPerDay)));
  std::int64_t days = total / kMsPerDay;
  std::int64_t ms = total % kMsPerDay;
  if (ms < 0) {
    ms += kMsPerDay;
    --days;
  }
  DateTimeParts p;
  civilFromDays(days, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3'600'000);
  p.minute = static_cast<int>(ms / 60'000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

}  // namespace waymock
