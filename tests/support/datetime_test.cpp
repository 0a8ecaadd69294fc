#include "support/datetime.h"

#include <gtest/gtest.h>

#include "support/error.h"

namespace waymock {
namespace {

TEST(DateTime, KnownDayCounts) {
  struct Case {
    int y, m, d;
    std::int64_t days;
  };
  const Case cases[] = {
      {1899, 12, 30, 0}, {1900, 1, 1, 2}, {1970, 1, 1, 25'569}, {2024, 3, 23, 45'374},
      {2000, 2, 29, 36'585}, {1899, 12, 29, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(daysFromCivil(c.y, c.m, c.d), c.days) << c.y << '-' << c.m << '-' << c.d;
    int y = 0, m = 0, d = 0;
    civilFromDays(c.days, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
  }
}

TEST(DateTime, RoundTripsToTheMillisecond) {
  const DateTimeParts in{2024, 3, 23, 12, 35, 19, 7};
  const DateTimeParts out = decodeDateTime(encodeDateTime(in));
  EXPECT_EQ(out.year, 2024);
  EXPECT_EQ(out.month, 3);
  EXPECT_EQ(out.day, 23);
  EXPECT_EQ(out.hour, 12);
  EXPECT_EQ(out.minute, 35);
  EXPECT_EQ(out.second, 19);
  EXPECT_EQ(out.millisecond, 7);
}

TEST(DateTime, MillisecondRoundingCarriesIntoTheNextYear) {
  const TDateTime t = encodeDateTime({2023, 12, 31, 23, 59, 59, 999}) + 0.6 / 86'400'000.0;  // 23:59:59.9996
  const DateTimeParts p = decodeDateTime(t);
  EXPECT_EQ(p.year, 2024);
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 1);
  EXPECT_EQ(p.hour + p.minute + p.second + p.millisecond, 0);
}

TEST(DateTime, RejectsImpossibleDates) {
  EXPECT_THROW(encodeDateTime({2023, 2, 29, 0, 0, 0, 0}), Error);
  EXPECT_THROW(encodeDateTime({2024, 13, 1, 0, 0, 0, 0}), Error);
  EXPECT_THROW(encodeDateTime({2024, 1, 1, 24, 0, 0, 0}), Error);
  EXPECT_NO_THROW(encodeDateTime({2024, 2, 29, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace waymock
