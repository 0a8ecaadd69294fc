#include "engine/position_text.h"

#include <gtest/gtest.h>

#include "generator/nmea_generator.h"

namespace waymock {
namespace {

TEST(PositionText, PadLeftAndFormatSecondsCutRatherThanRound) {
  EXPECT_EQ(PadLeft("5", 3, ' '), "  5");
  EXPECT_EQ(PadLeft("1234", 3, ' '), "123");
  EXPECT_EQ(FormatSeconds("59,999", 2, '0', 2, ','), "59,99");
  EXPECT_EQ(FormatSeconds("7", 2, '0', 2, ','), "07,00");
  EXPECT_EQ(FormatSeconds("3,5", 2, '0', 2, ','), "03,50");
}

TEST(PositionText, RoundTo2RoundsHalfUpAndCutsNegatives) {
  EXPECT_EQ(RoundTo2(0.005397L), 0.01L);
  EXPECT_EQ(RoundTo2(-12.345L), -12.34L);
  EXPECT_EQ(RoundTo2(328.083989L), 328.08L);
}

TEST(PositionText, PlainNotationEvenForTinyAndHugeValues) {
  EXPECT_EQ(formatPlain(3e-18L, ','), "0,000000000000000003");
  EXPECT_EQ(formatPlain(-1.5e-7L, '.'), "-0.00000015");
  EXPECT_EQ(formatPlain(2e15L, '.'), "2000000000000000");
  EXPECT_EQ(formatPlain(30.46L, ','), "30,46");
}

TEST(PositionText, SliderScaleCoversBothEnds) {
  struct Case {
    int position;
    int degree, minute;
    long double second;
  };
  for (const Case& c : {Case{0, 0, 0, 0}, Case{kLatitudeSliderMax, 90, 0, 0},
                        Case{kLongitudeSliderMax, 180, 0, 0}, Case{3723046, 10, 20, 30.46L}}) {
    const auto dms = SliderToDMS(c.position);
    EXPECT_EQ(dms.degree, c.degree) << c.position;
    EXPECT_EQ(dms.minute, c.minute) << c.position;
    EXPECT_NEAR(static_cast<double>(dms.second), static_cast<double>(c.second), 1e-9);
  }
  EXPECT_EQ(sliderPosition(-(10 + 20 / 60.0L + 30.456L / 3600)), 3723046);
}

// The display's examples, with a decimal comma as a German desktop has it.
TEST(PositionText, LabelsUnderADecimalComma) {
  generator::TTarnNMEAGenerator g;
  g.SetLatitude_Degree(5);
  g.SetLatitude_Minute(7);
  g.SetLatitude_Second(3.5L);
  g.SetLongitude_Degree(179);
  g.SetLongitude_Minute(59);
  g.SetLongitude_Second(59.99L);
  g.SetLongitude_Direction(TCardinalPoint::cpWest);
  g.SetAltitude(100);
  g.SetSpeed(100 * 0.5397L);
  g.SetHeading(359.99L);
  const PositionLabels labels = positionLabels(g, ',');
  EXPECT_EQ(labels.latitude, "  5\u00B0 07' 03,50\" N");
  EXPECT_EQ(labels.longitude, "179\u00B0 59' 59,99\" W");
  EXPECT_EQ(labels.altitude, "100 m = 328,08 feet");
  EXPECT_EQ(labels.speed, "100 km/h = 53,97 knots");
  EXPECT_EQ(labels.heading, "359,99\u00B0");
  g.SetAltitude(0);
  g.SetSpeed(0.01L * 0.5397L);
  EXPECT_EQ(positionLabels(g, ',').altitude, "0 m = 0 feet");
  EXPECT_EQ(positionLabels(g, ',').speed, "0,01 km/h = 0,01 knots");
}

}  // namespace
}  // namespace waymock
