#include "support/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
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

std::string viaDouble(double value, char point = '.') {
  char buffer[kGeneralMaxChars];
  return std::string(buffer, writeGeneral(buffer, value, point));
}

// The expected general form, from glibc's printf: it converts the exact
// binary value with multi-precision arithmetic and rounds ties to even, so it
// is an exact reference for every value, near-ties included.
std::string exactReference(long double value) {
  char exact[64];
  std::snprintf(exact, sizeof exact, "%.14Le", value);
  const std::string text(exact);
  const bool negative = text[0] == '-';
  const std::string mantissa = text.substr(negative ? 1 : 0, 16);
  const int exponent = std::stoi(text.substr(text.find('e') + 1));
  std::string digits = mantissa.substr(0, 1);
  digits += mantissa.substr(2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string expected = negative ? "-" : "";
  if (exponent < -5 || exponent >= 15) {
    expected += digits.front();
    if (digits.size() > 1) {
      expected += '.';
      expected += digits.substr(1);
    }
    expected += 'E';
    expected += std::to_string(exponent);
  } else if (exponent >= 0) {
    const auto integerDigits = static_cast<std::size_t>(exponent + 1);
    if (digits.size() <= integerDigits) {
      expected += digits;
      expected.append(integerDigits - digits.size(), '0');
    } else {
      expected += digits.substr(0, integerDigits);
      expected += '.';
      expected += digits.substr(integerDigits);
    }
  } else {
    expected += "0.";
    expected.append(static_cast<std::size_t>(-exponent - 1), '0');
    expected += digits;
  }
  return expected;
}

TEST(NumberText, GeneralFormAgreesWithAnExactReference) {
  std::mt19937_64 random(20240323);
  std::uniform_real_distribution<double> unit(0, 1);
  std::uniform_int_distribution<int> decade(-12, 20);
  std::uniform_int_distribution<long long> cents(-10'000'000, 10'000'000);
  for (int i = 0; i < 5'000; ++i) {
    const double scaled = (unit(random) - 0.3) * std::pow(10.0, decade(random));
    const long double extended = static_cast<long double>(scaled) / 3.0L;
    const double hundredths = static_cast<double>(cents(random)) / 100;
    for (long double v :
         {static_cast<long double>(scaled), extended, static_cast<long double>(hundredths)}) {
      ASSERT_EQ(formatGeneral(v), exactReference(v)) << std::hexfloat << v;
    }
    // The double entry point gives the same text as the extended one.
    ASSERT_EQ(viaDouble(scaled), formatGeneral(scaled)) << scaled;
    ASSERT_EQ(viaDouble(hundredths), formatGeneral(hundredths)) << hundredths;
    ASSERT_EQ(viaDouble(RoundTo2(scaled)), formatGeneral(RoundTo2(scaled))) << scaled;
  }
}

// Values within a few units in the last place of a tie at the sixteenth
// digit, where scaling by a power of ten can round onto the tie itself.
TEST(NumberText, NearTiesRoundByTheExactValue) {
  // 355.45 knots (as the double it is stored in) in km/h lies just above
  // ...804.5 at the sixteenth digit.
  EXPECT_EQ(formatGeneral(static_cast<long double>(355.45) / 0.5397L), "658.606633314805");
  std::mt19937_64 random(4711);
  std::uniform_int_distribution<std::int64_t> sixteen(1'000'000'000'000'000, 9'999'999'999'999'999);
  std::uniform_int_distribution<int> decade(-13, 26);
  for (int i = 0; i < 20'000; ++i) {
    // A sixteen-digit decimal ending in 5, scaled to land in many decades.
    const std::int64_t tie = sixteen(random) / 10 * 10 + 5;
    const long double nearest =
        static_cast<long double>(tie) * std::pow(10.0L, decade(random) - 15);
    long double v = nearest;
    for (int step = 0; step < 3; ++step) v = std::nextafter(v, 0.0L);
    for (int step = 0; step < 7; ++step, v = std::nextafter(v, 1e4000L)) {
      ASSERT_EQ(formatGeneral(v), exactReference(v)) << std::hexfloat << v;
      ASSERT_EQ(formatGeneral(-v), exactReference(-v)) << std::hexfloat << v;
    }
  }
}

// RoundTo2 written out literally in extended arithmetic.
double referenceRoundTo2(double value) {
  const long double x = value;
  const long double hundredfold = x * 100;
  long double result = std::trunc(x) + std::trunc((x - std::trunc(x)) * 100) / 100;
  if (hundredfold - std::trunc(hundredfold) >= 0.5L) result += 0.01L;
  return static_cast<double>(result);
}

TEST(NumberText, RoundTo2MatchesTheExtendedFormula) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(-1, 1);
  std::uniform_int_distribution<int> decade(-8, 17);
  std::uniform_int_distribution<long long> steps(-2'000'000, 2'000'000);
  for (int i = 0; i < 50'000; ++i) {
    const double values[] = {
        unit(random) * std::pow(10.0, decade(random)),
        // Values at and next to exact halves of a hundredth.
        static_cast<double>(steps(random)) / 200,
        std::nextafter(static_cast<double>(steps(random)) / 200, 1e300),
        std::nextafter(static_cast<double>(steps(random)) / 200, -1e300),
    };
    for (double v : values) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(RoundTo2(v) + 0.0),
                std::bit_cast<std::uint64_t>(referenceRoundTo2(v) + 0.0))
          << std::hexfloat << v;
    }
  }
}

TEST(NumberText, DecimalPointIsTheCallersChoiceNotTheLocales) {
  test::LocaleGuard locale(test::kDecimalCommaLocale);
  ASSERT_TRUE(locale.ok()) << test::kDecimalCommaLocale << " is not installed";
  EXPECT_EQ(formatGeneral(1.5), "1.5");
  EXPECT_EQ(formatGeneral(0.0000025L), "2.5E-6");
  EXPECT_EQ(formatGeneral(1.5, ','), "1,5");
  EXPECT_EQ(formatGeneral(-0.25, ','), "-0,25");
  EXPECT_EQ(viaDouble(-0.25, ','), "-0,25");
  EXPECT_EQ(viaDouble(-1.0 / 3, ','), "-0,333333333333333");
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
      {0, 0, "0"},         {5, 1, "5"},
      {42, 0, "42"},       {42, 1, "42"},
      {7, 2, "07"},        {7, 3, "007"},
      {12345, 3, "12345"}, {99, 2, "99"},
      {100, 0, "100"},     {18446744073709551615u, 0, "18446744073709551615"},
  };
  for (const Case& c : cases) {
    std::string out = "x";
    appendUnsigned(out, c.value, c.width);
    EXPECT_EQ(out, std::string("x") + c.text);
    char buffer[24];
    EXPECT_EQ(std::string(buffer, writeUnsigned(buffer, c.value, c.width)), c.text);
  }
}

TEST(NumberText, DigitsAndFractionDigits) {
  struct Case {
    const char* text;
    std::optional<unsigned> whole;
    std::optional<long double> fraction;
  };
  const Case cases[] = {
      {"250", 250u, 0.25L},
      {"07", 7u, 0.07L},
      {"0", 0u, 0.0L},
      {"5000000000", std::nullopt, 0.5L},  // past unsigned, still a fraction
      {"", std::nullopt, std::nullopt},
      {"-5", std::nullopt, std::nullopt},
      {"+5", std::nullopt, std::nullopt},
      {" 5", std::nullopt, std::nullopt},
      {"5 ", std::nullopt, std::nullopt},
      {"2e1", std::nullopt, std::nullopt},
      {"1.5", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(readDigits(c.text), c.whole);
    EXPECT_EQ(readFractionDigits(c.text), c.fraction);
  }
  // Any count of digits reads to the nearest value.
  EXPECT_EQ(readFractionDigits(std::string(60, '9')), 1.0L);
  EXPECT_EQ(readFractionDigits(std::string(60, '0') + "1"), 1e-61L);
}

}  // namespace
}  // namespace waymock
