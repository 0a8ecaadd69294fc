#include "support/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "common/test_support.h"

namespace waymock {
namespace {

TEST(NumberText, GeneralDecimalForm) {
  struct Case {
    long double value;
    const char* text;
  };
  const Case cases[] = {
      {0, "0"},
      {-0.0L, "0"},
      {10, "10"},
      {0.9, "0.9"},
      {-12.34, "-12.34"},
      {22.4, "22.4"},  // the double just below 22.4 still reads as 22.4
      {0.1 + 0.2, "0.3"},
      {1.0L / 3, "0.333333333333333"},
      {2.0L / 3, "0.666666666666667"},
      {-2.0L / 3, "-0.666666666666667"},
      {22.4L / 0.5397L, "41.5045395590143"},
      {123456.789, "123456.789"},
      {9.99999999999999999L, "10"},  // rounding at the 15th digit reaches the next decade
      {999999999999999, "999999999999999"},
      {123456789012345678.0L, "1.23456789012346E17"},
      // Exponent form from 10^15 up and below 0.00001; exponent without "+" or padding.
      {1e15L, "1E15"},
      {1.5e15L, "1.5E15"},
      {0.0001L, "0.0001"},
      {0.00001L, "0.00001"},
      {0.000015L, "0.000015"},
      {0.0000099L, "9.9E-6"},
      {1e-6L, "1E-6"},
      {-2.5e-7L, "-2.5E-7"},
      {1e-300L, "1E-300"},
      {std::numeric_limits<double>::max(), "1.79769313486232E308"},
      {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
      {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
      {std::numeric_limits<long double>::infinity(), "INF"},
      {-std::numeric_limits<long double>::infinity(), "-INF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatGeneral(c.value), c.text) << static_cast<double>(c.value);
  }
}

TEST(NumberText, DecimalPointIsTheCallersChoiceNotTheLocales) {
  test::LocaleGuard locale(test::kDecimalCommaLocale);
  ASSERT_TRUE(locale.ok()) << test::kDecimalCommaLocale << " is not installed";
  EXPECT_EQ(formatGeneral(1.5), "1.5");
  EXPECT_EQ(formatGeneral(0.0000025L), "2.5E-6");
  EXPECT_EQ(formatGeneral(1.5, ','), "1,5");
  EXPECT_EQ(formatGeneral(-0.25, ','), "-0,25");
}

TEST(NumberText, RoundTo2) {
  struct Case {
    double value;
    const char* text;  // the result in the general decimal form
  };
  const Case cases[] = {
      {0.125, "0.13"},      // halves go up for positive values
      {-12.345, "-12.34"},  // negative values are truncated
      {-0.999, "-0.99"},   {2.0000001, "2"}, {22.4, "22.4"},
      {0.005, "0.01"},  // the double is a hair above 0.005
      {1.005, "1"},     // ... and this one a hair below 1.005
      {2.675, "2.67"},     {0.994, "0.99"},  {0.999, "1"},
      {84.456, "84.46"},   {545.4, "545.4"}, {0, "0"},
      {1e15, "1E15"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatGeneral(RoundTo2(c.value)), c.text) << c.value;
  }
  EXPECT_TRUE(std::isnan(RoundTo2(std::numeric_limits<double>::quiet_NaN())));
}

TEST(NumberText, UnsignedWithPadding) {
  struct Case {
    std::uint64_t value;
    int width;
    const char* text;
  };
  const Case cases[] = {
      {0, 0, "0"},
      {7, 2, "07"},
      {7, 3, "007"},
      {12345, 3, "12345"},
      {99, 2, "99"},
      {100, 0, "100"},
      {18446744073709551615u, 0, "18446744073709551615"},
  };
  for (const Case& c : cases) {
    std::string out = "x";
    appendUnsigned(out, c.value, c.width);
    EXPECT_EQ(out, std::string("x") + c.text);
  }
}

}  // namespace
}  // namespace waymock
