// The window's process runs under the user's C locale (QApplication calls
// setlocale(LC_ALL, "")); no value the core writes or reads may follow it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/test_support.h"
#include "engine/position_text.h"
#include "generator/nmea_generator.h"
#include "support/clock.h"
#include "support/number_text.h"
#include "support/settings_text.h"

namespace waymock {
namespace {

TEST(LocaleIndependence, CoreTextIsTheSameUnderADecimalCommaLocaleAsUnderC) {
  generator::TTarnNMEAGenerator g(std::make_shared<FixedClock>(45'374.524), nullptr);
  g.SetLatitude_Degree(52);
  g.SetLatitude_Minute(22);
  g.SetLatitude_Second(59.99L);
  g.SetAltitude(12.5L);
  g.SetSpeed(generator::TTarnNMEAGenerator::KmhToKnots(22.5L));
  g.SetHeading(359.99L);
  g.SetMagnetic_Heading(0.5L);
  g.SetMagnetic_Variation(3.1L);
  g.SetPDOP(1.25L);
  g.SetHDOP(0.75L);
  g.SetVDOP(2.5L);
  g.SetGeo_Height(-46.9L);
  g.SetSatellite(3, true, 45, 120, 40);

  const auto settingsRoundTrip = [](const char* text) {
    const auto value = parseSettingNumber(text);
    return value ? formatSettingNumber(*value) : std::string("refused");
  };
  const std::pair<const char*, std::function<std::string()>> cases[] = {
      {"burst", [&] { return g.GetSentences(); }},
      {"position labels",
       [&] {
         const PositionLabels l = positionLabels(g, '.');
         return l.latitude + "|" + l.longitude + "|" + l.altitude + "|" + l.speed + "|" + l.heading;
       }},
      {"plain numbers", [] { return formatPlain(-1.5e-7L, '.') + " " + formatPlain(2e15L, '.'); }},
      // Beyond 1e41 the fifteenth digit of a near-tie comes from a library conversion.
      {"general numbers",
       [] {
         return formatGeneral(1.000000000000005e50L) + " " + formatGeneral(2.5e-20L) + " " +
                formatGeneral(-0.125L);
       }},
      {"settings numbers",
       [] {
         return formatSettingNumber(12.5) + " " + formatSettingNumber(0.1) + " " +
                formatSettingNumber(10110) + " " + formatSettingNumber(1.25e-7);
       }},
      {"settings read back",
       [&] {
         return settingsRoundTrip("12.5") + " " + settingsRoundTrip("-59.99") + " " +
                settingsRoundTrip("12,5");
       }},
  };
  std::vector<std::string> inC;
  {
    test::LocaleGuard c("C");
    for (const auto& [name, text] : cases) inC.push_back(text());
  }
  EXPECT_NE(inC[0].find(",0.75,12.5,M,"), std::string::npos) << inC[0];
  test::LocaleGuard comma(test::kDecimalCommaLocale);
  ASSERT_TRUE(comma.ok()) << test::kDecimalCommaLocale << " is not installed";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].second(), inC[i]) << cases[i].first;
  }
}

}  // namespace
}  // namespace waymock
