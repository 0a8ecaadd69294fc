#include "support/settings_text.h"

#include <gtest/gtest.h>

#include <limits>

#include "common/test_support.h"

namespace waymock {
namespace {

void expectNumberForms() {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0, "0"},
      {1, "1"},
      {0.5, "0.5"},
      {59.99, "59.99"},
      {-59.99, "-59.99"},
      {12.345, "12.345"},
      {0.1 + 0.2, "0.30000000000000004"},  // another double than 0.3, so it needs 17 digits
      {2147483647, "2147483647"},
      {100, "100"},  // plain, as the general format writes whole numbers
      {10110, "10110"},
      {-0.00001, "-0.00001"},
      {1e-6, "1e-06"},
      {1e20, "1e+20"},
      {0.0001, "0.0001"},
      {1.0 / 3, "0.3333333333333333"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatSettingNumber(c.value), c.text);
    EXPECT_EQ(parseSettingNumber(c.text), c.value) << c.text;
  }
  EXPECT_EQ(formatSettingNumber(std::numeric_limits<double>::quiet_NaN()), "0");
  EXPECT_EQ(parseSettingNumber(" +2.5 "), 2.5);
  for (const char* bad : {"", "0,5", "1.5x", "abc", "inf", "nan", "+-1", "1e999", "-"}) {
    EXPECT_EQ(parseSettingNumber(bad), std::nullopt) << bad;
  }
}

TEST(SettingsText, NumbersUseAPointAndTheShortestExactText) {
  expectNumberForms();
}

TEST(SettingsText, NumbersIgnoreADecimalCommaLocale) {
  test::LocaleGuard locale(test::kDecimalCommaLocale);
  if (!locale.ok()) GTEST_SKIP() << test::kDecimalCommaLocale << " is not installed";
  expectNumberForms();
}

TEST(SettingsText, BooleansIndicesAndStrings) {
  EXPECT_EQ(formatSettingBool(true), "True");
  EXPECT_EQ(formatSettingBool(false), "False");
  struct BoolCase {
    const char* text;
    std::optional<bool> value;
  };
  for (const BoolCase& c : {BoolCase{"True", true},
                            {"TRUE", true},
                            {" false ", false},
                            {"yes", std::nullopt},
                            {"1", std::nullopt},
                            {"", std::nullopt}}) {
    EXPECT_EQ(parseSettingBool(c.text), c.value) << c.text;
  }

  EXPECT_EQ(formatSettingIndex(5), "5");
  EXPECT_EQ(formatSettingIndex(-1), "-1");
  EXPECT_EQ(formatSettingIndex(-7), "-1");
  struct IndexCase {
    const char* text;
    int value;
  };
  for (const IndexCase& c :
       {IndexCase{"3", 3}, {" -1 ", -1}, {"North", 0}, {"1.5", 0}, {"", 0}, {"99999999999", 0}}) {
    EXPECT_EQ(parseSettingIndex(c.text), c.value) << c.text;
  }

  EXPECT_EQ(trimSettingText(" \t192.168.1.7 \r\n"), "192.168.1.7");
  EXPECT_EQ(formatSettingQuad({10, -20, 547, 408}), "10,-20,547,408");
  EXPECT_EQ(parseSettingQuad("10, -20,547,408", {0, 0, 0, 0}),
            (std::array<int, 4>{10, -20, 547, 408}));
  EXPECT_EQ(parseSettingQuad("5,x", {1, 2, 3, 4}), (std::array<int, 4>{5, 2, 3, 4}));
}

}  // namespace
}  // namespace waymock
