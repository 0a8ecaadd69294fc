#include "receiver/nmea_fields.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace waymock::receiver::nmea {
namespace {

TEST(ReadNumber, NormalisesLikeTheSentencesNeed) {
  struct Case {
    const char* text;
    std::optional<long double> expected;
  } cases[] = {
      {"545.4", 545.4L},
      {"0.9", 0.9L},
      {"022.4", 22.4L},
      {"5.", 5.0L},
      {".5", 0.5L},
      {"", 0.0L},
      {"-34.0", 0.0L},  // a sign makes the whole number 0
      {"+3", 0.0L},
      {"12 ", 0.0L},
      {"1e5", 0.0L},
      {"1.2.3x", 0.0L},  // scanning stops at the letter before the points matter
      {"1.2.3", std::nullopt},
      {".", std::nullopt},
      {"12345678901234567890123.25", 12345678901234567890123.25L},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto v = readNumber(c.text);
    ASSERT_EQ(v.has_value(), c.expected.has_value());
    if (v) {
      EXPECT_EQ(*v, *c.expected);
    }
  }
}

TEST(ReadInteger, AcceptsSignAndDigitsOnly) {
  struct Case {
    const char* text;
    std::optional<int> expected;
  } cases[] = {
      {"08", 8},
      {"-5", -5},
      {"+7", 7},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"1.0", std::nullopt},
      {" 1", std::nullopt},
      {"0x1F", std::nullopt},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(readInteger(c.text), c.expected);
  }
}

TEST(SplitCoordinate, DegreesMinutesSeconds) {
  struct Case {
    const char* text;
    bool usable;
    int degree, minute;
    long double second;
  } cases[] = {
      {"4807.038", true, 48, 7, 38 * 60 / 1000.0L},
      {"01131.000", true, 11, 31, 0},
      {"12", true, 0, 12, 0},  // two characters: minutes only
      {"7.5", true, 0, 7, 30},
      {"0000.000", true, 0, 0, 0},
      {"", false, 0, 0, 0},
      {"48A7.0", false, 0, 0, 0},
      {"4807.03.8", false, 0, 0, 0},
      {".5", false, 0, 0, 0},
      {"4807.", true, 48, 7, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto p = splitCoordinate(c.text);
    ASSERT_EQ(p.has_value(), c.usable);
    if (!p) continue;
    EXPECT_EQ(p->degree, c.degree);
    EXPECT_EQ(p->minute, c.minute);
    EXPECT_EQ(p->second, c.second);
  }
}

TEST(SplitCoordinate, LongFractionsKeepTheirPrecision) {
  // 30 fraction digits overflow any integer; the seconds are still right.
  const auto p = splitCoordinate("4807.500000000000000000000000000001");
  ASSERT_TRUE(p);
  EXPECT_NEAR(static_cast<double>(p->second), 30.0, 1e-12);
  const auto q = splitCoordinate("4807.123456789012345678");  // 18 digits and more
  ASSERT_TRUE(q);
  EXPECT_NEAR(static_cast<double>(q->second), 0.123456789012345678 * 60, 1e-12);
}

TEST(ReadTime, FillsFromTheSeconds) {
  struct Case {
    const char* text;
    bool usable;
    int hour, minute, second, fraction;
  } cases[] = {
      {"123519", true, 12, 35, 19, 0},     {"123519.5", true, 12, 35, 19, 5},
      {"123519.50", true, 12, 35, 19, 50}, {"235959", true, 23, 59, 59, 0},
      {"5959", true, 0, 59, 59, 0},        {"959", true, 0, 9, 59, 0},
      {"59", true, 0, 0, 59, 0},           {"", false, 0, 0, 0, 0},
      {"12a519", false, 0, 0, 0, 0},       {"123519.x", false, 0, 0, 0, 0},
      {"1003519", true, 100, 35, 19, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto t = readTime(c.text);
    ASSERT_EQ(t.has_value(), c.usable);
    if (!t) continue;
    EXPECT_EQ(t->hour, c.hour);
    EXPECT_EQ(t->minute, c.minute);
    EXPECT_EQ(t->second, c.second);
    EXPECT_EQ(t->fraction, c.fraction);
  }
}

TEST(ReadDate, TwoAndFourDigitYears) {
  struct Case {
    const char* text;
    bool usable;
    int day, month, year;
  } cases[] = {
      {"230394", true, 23, 3, 2094},  {"23031994", true, 23, 3, 1994},
      {"01022024", true, 1, 2, 2024}, {"10224", true, 1, 2, 2024},
      {"1022024", true, 1, 2, 2024},  {"0102", false, 0, 0, 0},
      {"04", false, 0, 0, 0},         {"", false, 0, 0, 0},
      {"23x394", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto d = readDate(c.text);
    ASSERT_EQ(d.has_value(), c.usable);
    if (!d) continue;
    EXPECT_EQ(d->day, c.day);
    EXPECT_EQ(d->month, c.month);
    EXPECT_EQ(d->year, c.year);
  }
}

TEST(Checksum, Cases) {
  const std::string body = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
  struct Case {
    std::string sentence;
    bool valid;
  } cases[] = {
      {body + "*47", true},
      {"$GPAAM,A,A,0.10,N,WPTNME*32", true},
      {"$GPAAM,A,A,0.10,N,WPTNME*0032", true},  // any count of digits
      {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48", true},
      {"$GPRMB,A,0.66,L,003,004,4917.24,N,12309.57,W,001.3,052.5,000.5,V*20", true},
      {body + "*48", false},
      {body + "*47 ", false},  // trailing space
      {body, false},           // no "*"
      {body + "*", false},
      {body + "*4G", false},
      {"$*00", true},  // nothing between "$" and "*" sums to 0
      {"*00", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sentence);
    EXPECT_EQ(checksumValid(c.sentence), c.valid);
  }
}

TEST(FieldCursor, PositionalFieldsAndTheAsteriskRule) {
  FieldCursor f("$GPGSA,A,3,,2.5,1.3*39");
  EXPECT_EQ(f.field(1), "A");
  EXPECT_EQ(f.field(3), "");
  EXPECT_EQ(f.field(4), "2.5");
  EXPECT_EQ(f.field(5), "");  // no comma after the last field
  FieldCursor g("$GPGSA,A,3,,2.5,1.3*39");
  EXPECT_EQ(g.fieldToAsterisk(5), "1.3");
  EXPECT_EQ(g.fieldToAsterisk(9), "1.3");  // past the last comma the cursor stays
  FieldCursor h("$GPBWC,x,WPT");
  EXPECT_EQ(h.fieldToAsterisk(2), "");  // no "*" either
}

}  // namespace
}  // namespace waymock::receiver::nmea
