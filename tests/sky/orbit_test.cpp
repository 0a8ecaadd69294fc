#include "sky/orbit.h"

#include <gtest/gtest.h>

#include <string>

#include "sky/almanac_file.h"
#include "sky/gps_time.h"
#include "sky/worked_almanac.h"

namespace waymock::sky {
namespace {

TEST(Orbit, PutsTheWorkedAlmanacWhereTheEquationsDoFromEitherFileForm) {
  std::string fullWeek(test::kWorkedYuma);
  fullWeek.replace(fullWeek.rfind("245"), 3, "2293");
  for (const std::string_view text :
       {test::kWorkedYuma, test::kWorkedSem, std::string_view(fullWeek)}) {
    const std::vector<Almanac> almanacs = parseAlmanac(text, "worked");
    ASSERT_EQ(almanacs.size(), 1u);
    EXPECT_EQ(almanacs[0].number, 7);
    const Orbit orbit(almanacs[0]);
    for (const auto& expected : test::kWorkedPositions) {
      const Ecef at = orbit.at(gpsSecondsFromUtc(encodeDateTime(expected.utc)));
      EXPECT_NEAR(at.x, expected.x, 0.01) << text.substr(0, 20);
      EXPECT_NEAR(at.y, expected.y, 0.01);
      EXPECT_NEAR(at.z, expected.z, 0.01);
    }
  }
}

TEST(GpsTime, RunsAheadOfUtcByTheLeapSecondsOfTheDate) {
  const struct {
    DateTimeParts utc;
    int leap;
  } cases[] = {
      {{1980, 1, 6, 0, 0, 0, 0}, 0},       {{1981, 6, 30, 23, 59, 59, 0}, 0},
      {{1981, 7, 1, 0, 0, 0, 0}, 1},       {{1999, 1, 1, 0, 0, 0, 0}, 13},
      {{2016, 12, 31, 23, 59, 59, 0}, 17}, {{2017, 1, 1, 0, 0, 0, 0}, 18},
      {{2040, 1, 1, 0, 0, 0, 0}, 18},      {{1970, 1, 1, 0, 0, 0, 0}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(leapSeconds(encodeDateTime(c.utc)), c.leap) << c.utc.year;
  // Saturday noon of GPS week 2306 (from Sunday 2024-03-17): 6.5 days and 18 s.
  EXPECT_DOUBLE_EQ(gpsSecondsFromUtc(encodeDateTime({2024, 3, 23, 12, 0, 0, 0})),
                   2306 * kSecondsPerWeek + 6.5 * 86'400 + 18);
}

}  // namespace
}  // namespace waymock::sky
