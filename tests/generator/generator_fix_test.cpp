#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "support/error.h"

namespace waymock::generator {
namespace {

using Gen = TTarnNMEAGenerator;

std::unique_ptr<Gen> newGenerator() {
  return std::make_unique<Gen>(std::make_shared<FixedClock>(45'000.5), nullptr);
}

// Runs `write` and returns the error text, or "" when nothing was raised.
std::string errorOf(const std::function<void()>& write) {
  try {
    write();
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

TEST(GeneratorFix, InitialValues) {
  auto gen = newGenerator();
  EXPECT_EQ(gen->Latitude_Direction(), TCardinalPoint::cpNorth);
  EXPECT_EQ(gen->Longitude_Direction(), TCardinalPoint::cpEast);
  EXPECT_EQ(gen->Magnetic_Variation_Direction(), TCardinalPoint::cpWest);
  EXPECT_EQ(gen->Commands(), TNMEACommands::all());
  EXPECT_EQ(gen->Commands().bits(), 0x7Fu);
  EXPECT_TRUE(gen->UseSystemDateTime());
  EXPECT_FALSE(gen->MessageAlert());
  EXPECT_DOUBLE_EQ(gen->UTCDateTime(), 45'000.5);
  EXPECT_EQ(gen->PortName(), "");
  EXPECT_EQ(gen->Latitude_Degree() + gen->Latitude_Minute() + gen->Longitude_Degree(), 0);
  EXPECT_EQ(gen->Latitude_Second() + gen->Altitude() + gen->Speed() + gen->HDOP(), 0);
}

TEST(GeneratorFix, ValidatedSettersRejectAndKeepTheOldValue) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  struct Case {
    const char* name;
    std::function<void(Gen&, long double)> set;
    std::function<long double(const Gen&)> get;
    long double good;  // accepted, stays stored while the bad ones are rejected
    std::vector<long double> accepted;
    std::vector<long double> rejected;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"Latitude_Degree",
       [](Gen& g, long double v) { g.SetLatitude_Degree(int(v)); },
       [](const Gen& g) { return g.Latitude_Degree(); },
       45,
       {0, 90},
       {91, -1},
       "Latitude Degree must be between 0 and 90."},
      {"Latitude_Minute",
       [](Gen& g, long double v) { g.SetLatitude_Minute(int(v)); },
       [](const Gen& g) { return g.Latitude_Minute(); },
       30,
       {0, 59},
       {60, -1},
       "Latitude Minute must be between 0 and 60."},
      {"Latitude_Second",
       [](Gen& g, long double v) { g.SetLatitude_Second(v); },
       [](const Gen& g) { return g.Latitude_Second(); },
       12.5,
       {0, 59.9999L},
       {60, -0.001L, nan},
       "Latitude Second must be between 0 and 60."},
      {"Longitude_Degree",
       [](Gen& g, long double v) { g.SetLongitude_Degree(int(v)); },
       [](const Gen& g) { return g.Longitude_Degree(); },
       100,
       {0, 180},
       {181, -1},
       "Longitude Degree must be between 0 and 180."},
      {"Longitude_Minute",
       [](Gen& g, long double v) { g.SetLongitude_Minute(int(v)); },
       [](const Gen& g) { return g.Longitude_Minute(); },
       30,
       {0, 59},
       {60, -1},
       "Longitude Minute must be between 0 and 60."},
      {"Longitude_Second",
       [](Gen& g, long double v) { g.SetLongitude_Second(v); },
       [](const Gen& g) { return g.Longitude_Second(); },
       1,
       {0, 59.9999L},
       {60, -1, nan},
       "Longitude Second must be between 0 and 60."},
      {"Heading",
       [](Gen& g, long double v) { g.SetHeading(v); },
       [](const Gen& g) { return g.Heading(); },
       10,
       {0, 359.99L},
       {360, -0.5L, nan},
       "Heading must be between 0 and 360."},
      {"Magnetic_Heading",
       [](Gen& g, long double v) { g.SetMagnetic_Heading(v); },
       [](const Gen& g) { return g.Magnetic_Heading(); },
       10,
       {0, 359.99L},
       {360, -1, nan},
       "Magnetic Heading must be between 0 and 360."},
      {"Magnetic_Variation",
       [](Gen& g, long double v) { g.SetMagnetic_Variation(v); },
       [](const Gen& g) { return g.Magnetic_Variation(); },
       10,
       {0, 179.99L},
       {180, -1, nan},
       "Magnetic Variation must be between 0 and 180."},
  };
  for (const Case& c : cases) {
    auto gen = newGenerator();
    for (long double v : c.accepted) {
      EXPECT_EQ(errorOf([&] { c.set(*gen, v); }), "") << c.name << " " << double(v);
      EXPECT_EQ(c.get(*gen), v) << c.name;
    }
    c.set(*gen, c.good);
    for (long double v : c.rejected) {
      EXPECT_EQ(errorOf([&] { c.set(*gen, v); }), c.message) << c.name << " " << double(v);
      EXPECT_EQ(c.get(*gen), c.good) << c.name;
    }
  }
}

TEST(GeneratorFix, ComponentsAreValidatedOneByOne) {
  auto gen = newGenerator();
  gen->SetLatitude_Degree(90);
  gen->SetLatitude_Minute(30);
  EXPECT_EQ(gen->Latitude_Minute(), 30);
}

TEST(GeneratorFix, MessageAlertShowsTheMessageBeforeRaising) {
  auto gen = newGenerator();
  std::vector<std::string> shown;
  gen->alertHandler = [&](const std::string& m) { shown.push_back(m); };
  EXPECT_THROW(gen->SetHeading(360), Error);
  EXPECT_TRUE(shown.empty());  // MessageAlert is off

  gen->SetMessageAlert(true);
  // The box comes first: the handler sees the old value still stored.
  gen->alertHandler = [&](const std::string& m) {
    shown.push_back(m);
    EXPECT_EQ(gen->Heading(), 0);
  };
  EXPECT_EQ(errorOf([&] { gen->SetHeading(400); }), "Heading must be between 0 and 360.");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Heading must be between 0 and 360.");
  gen->SetHeading(12);  // accepted values show nothing
  EXPECT_EQ(shown.size(), 1u);

  gen->alertHandler = nullptr;  // nobody listening: the error still comes
  EXPECT_THROW(gen->SetLatitude_Degree(-1), Error);
  // Satellites never show the box.
  gen->alertHandler = [&](const std::string& m) { shown.push_back(m); };
  EXPECT_THROW(gen->SetSatellite(0, true, 0, 0, 0), Error);
  EXPECT_EQ(shown.size(), 1u);
}

struct Dms {
  int deg, min;
  long double sec;
};

TEST(GeneratorFix, MovesClampAtTheEquatorAndThePole) {
  struct Case {
    bool latitude;
    Dms from;
    long double seconds;
    Dms to;
  };
  const Case cases[] = {
      {true, {0, 0, 10}, -20, {0, 0, 0}},
      {true, {89, 59, 59.5L}, 1, {90, 0, 0}},
      {true, {89, 59, 59.5L}, 0.4L, {89, 59, 59.9L}},
      {false, {179, 59, 59}, 2, {180, 0, 0}},
      {false, {179, 59, 59}, 0.5L, {179, 59, 59.5L}},
      {true, {10, 59, 59.9L}, 0.25L, {11, 0, 0.15L}},
      {true, {10, 0, 0}, -0.5L, {9, 59, 59.5L}},
      {false, {120, 0, 0}, 100 * 3600, {180, 0, 0}},
      {true, {45, 0, 0}, std::numeric_limits<long double>::infinity(), {90, 0, 0}},
      {true, {45, 0, 0}, -std::numeric_limits<long double>::infinity(), {0, 0, 0}},
      {true, {45, 0, 0}, std::numeric_limits<long double>::quiet_NaN(), {45, 0, 0}},
  };
  for (const Case& c : cases) {
    auto gen = newGenerator();
    gen->SetLatitude_Direction(TCardinalPoint::cpSouth);
    gen->SetLongitude_Direction(TCardinalPoint::cpWest);
    if (c.latitude) {
      gen->SetLatitude_Degree(c.from.deg);
      gen->SetLatitude_Minute(c.from.min);
      gen->SetLatitude_Second(c.from.sec);
      gen->MoveLatitude(c.seconds);
      EXPECT_EQ(gen->Latitude_Degree(), c.to.deg);
      EXPECT_EQ(gen->Latitude_Minute(), c.to.min);
      EXPECT_NEAR(double(gen->Latitude_Second()), double(c.to.sec), 1e-9);
    } else {
      gen->SetLongitude_Degree(c.from.deg);
      gen->SetLongitude_Minute(c.from.min);
      gen->SetLongitude_Second(c.from.sec);
      gen->MoveLongitude(c.seconds);
      EXPECT_EQ(gen->Longitude_Degree(), c.to.deg);
      EXPECT_EQ(gen->Longitude_Minute(), c.to.min);
      EXPECT_NEAR(double(gen->Longitude_Second()), double(c.to.sec), 1e-9);
    }
    // A move never crosses into the other hemisphere.
    EXPECT_EQ(gen->Latitude_Direction(), TCardinalPoint::cpSouth);
    EXPECT_EQ(gen->Longitude_Direction(), TCardinalPoint::cpWest);
  }
}

TEST(GeneratorFix, DecimalDegreesAreNorthAndWestPositive) {
  auto gen = newGenerator();
  gen->SetLatitude_Degree(10);
  gen->SetLatitude_Minute(30);
  gen->SetLatitude_Direction(TCardinalPoint::cpSouth);
  EXPECT_EQ(gen->LatitudeDegrees(), -10.5L);
  gen->SetLatitude_Direction(TCardinalPoint::cpNorth);
  EXPECT_EQ(gen->LatitudeDegrees(), 10.5L);
  gen->SetLongitude_Degree(10);
  gen->SetLongitude_Minute(30);
  EXPECT_EQ(gen->LongitudeDegrees(), -10.5L);  // east
  gen->SetLongitude_Direction(TCardinalPoint::cpWest);
  EXPECT_EQ(gen->LongitudeDegrees(), 10.5L);
  gen->SetLongitude_Second(36);
  EXPECT_NEAR(double(gen->LongitudeDegrees()), 10.51, 1e-14);
}

// Any hemisphere member may reach either coordinate (the setters do not check
// it); south and east are negative wherever they appear.
TEST(GeneratorFix, DecimalDegreesNegateSouthAndEastOnBothCoordinates) {
  auto gen = newGenerator();
  gen->SetLatitude_Degree(10);
  gen->SetLatitude_Minute(30);
  gen->SetLongitude_Degree(10);
  gen->SetLongitude_Minute(30);
  const struct {
    TCardinalPoint direction;
    long double value;
  } cases[] = {{TCardinalPoint::cpNorth, 10.5L},
               {TCardinalPoint::cpSouth, -10.5L},
               {TCardinalPoint::cpEast, -10.5L},
               {TCardinalPoint::cpWest, 10.5L}};
  for (const auto& c : cases) {
    gen->SetLatitude_Direction(c.direction);
    gen->SetLongitude_Direction(c.direction);
    EXPECT_EQ(gen->LatitudeDegrees(), c.value) << cardinalPointName(c.direction);
    EXPECT_EQ(gen->LongitudeDegrees(), c.value) << cardinalPointName(c.direction);
  }
}

TEST(GeneratorFix, UnitConversionsUseOneFactorBothWays) {
  EXPECT_NEAR(double(Gen::KmhToKnots(100)), 53.97, 1e-13);
  EXPECT_NEAR(double(Gen::KnotsToKmh(Gen::KmhToKnots(37))), 37, 1e-12);
  EXPECT_NEAR(double(Gen::KnotsToKmh(10)), 18.528812303131369, 1e-12);
  EXPECT_NEAR(double(Gen::MetersToFeet(1000)), 3280.8399, 1e-12);
}

}  // namespace
}  // namespace waymock::generator
