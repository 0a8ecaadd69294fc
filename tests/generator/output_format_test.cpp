// The nmea41 profile, the standard ZDA and the talker override, against
// hand-worked sentences. Field numbers in the comments are those of the NMEA
// 0183 4.10/4.11 layouts (field 1 follows the sentence's name).
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "support/error.h"
#include "worked_example.h"

namespace waymock::generator {
namespace {

using Sys = Constellation;

std::vector<std::string> burstLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start + 2));
    start = end + 2;
  }
  return lines;
}

// The worked example's fix and GPS satellites, and one or two satellites of
// each other constellation, at 12:35:19 UTC on 23 March 2024.
class Nmea41 : public ::testing::Test {
 protected:
  Nmea41() {
    setWorkedExample(gen);
    gen.setSatellite(Sys::glonass, 2, true, 30, 200, 38);
    gen.setSatellite(Sys::glonass, 7, true, 55, 10, 0);  // in view, no signal: not used
    gen.setSatellite(Sys::glonass, 9, false, 70, 90, 45);
    gen.setSatellite(Sys::galileo, 5, true, 40, 150, 42);
    gen.setSatellite(Sys::beidou, 14, true, 25, 300, 33);
    format.profile = OutputProfile::nmea41;  // and its own ZDA, the standard one
    gen.setOutputFormat(format);
  }

  OutputFormat format;
  TTarnNMEAGenerator gen{std::make_shared<FixedClock>(encodeDateTime({2024, 3, 23, 12, 35, 19, 0})),
                         nullptr};
};

// ZDA: 1 time, 2 day, 3 month, 4 year, 5-6 local zone.
// GGA: 7 satellites in use (at least two digits), the rest as the classic
// profile. GLL: 6 status, 7 mode. VTG: 3 the magnetic course, true + 3.1 W;
// 7 km/h = knots × 1.852 to the knots' decimals; 9 mode.
// RMC: 12 mode, 13 navigational status.
// GSA: 1 mode, 2 fix type, 3-14 satellite IDs, 15-17 PDOP, HDOP, VDOP, 18 system ID.
// GSV: 1 sentences, 2 number, 3 in view, then ID, elevation, azimuth, SNR per
// satellite, then the signal ID. GLONASS slot n is ID 64 + n.
const char* const kNmea41Burst[] = {
    "$GNZDA,123519.000,23,03,2024,00,00*43\r\n",
    "$GNGGA,123519.000,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
    "$GNGLL,4807.0380,N,01131.0000,E,123519.000,A,A*48\r\n",
    "$GNVTG,84.4,T,87.5,M,22.4,N,41.5,K,A*3B\r\n",
    "$GNRMC,123519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,230324,3.1,W,A,V*76\r\n",
    "$GNGSA,A,3,12,03,07,28,19,,,,,,,,1.5,0.9,1.2,1*3A\r\n",
    "$GNGSA,A,3,66,,,,,,,,,,,,1.5,0.9,1.2,2*3C\r\n",
    "$GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,3*38\r\n",
    "$GNGSA,A,3,14,,,,,,,,,,,,1.5,0.9,1.2,4*3F\r\n",
    "$GPGSV,2,1,05,03,45,120,40,07,20,300,35,12,60,045,44,19,15,210,09,1*65\r\n",
    "$GPGSV,2,2,05,28,05,080,30,1*55\r\n",
    "$GLGSV,1,1,02,66,30,200,38,71,55,010,,1*77\r\n",
    "$GAGSV,1,1,01,05,40,150,42,7*41\r\n",
    "$GBGSV,1,1,01,14,25,300,33,1*46\r\n",
};

TEST_F(Nmea41, BurstMatchesTheHandWorkedLines) {
  EXPECT_EQ(burstLines(gen.GetSentences()),
            std::vector<std::string>(std::begin(kNmea41Burst), std::end(kNmea41Burst)));
  // The builders follow the format too.
  EXPECT_EQ(gen.GetGPRMC(), kNmea41Burst[4]);
  EXPECT_EQ(gen.GetGPGSA(),
            std::string(kNmea41Burst[5]) + kNmea41Burst[6] + kNmea41Burst[7] + kNmea41Burst[8]);
}

TEST_F(Nmea41, OnlyTheChosenConstellations) {
  format.constellations = {Sys::glonass, Sys::beidou};
  gen.setOutputFormat(format);
  const std::string burst = gen.GetSentences();
  EXPECT_NE(burst.find(",E,1,02,0.9,"), std::string::npos) << burst;  // GGA: two used
  std::vector<std::string> groups;
  for (const std::string& line : burstLines(burst)) {
    if (line.find("GSA,") != std::string::npos || line.find("GSV,") != std::string::npos) {
      groups.push_back(line);
    }
  }
  EXPECT_EQ(groups, (std::vector<std::string>{kNmea41Burst[6], kNmea41Burst[8], kNmea41Burst[11],
                                              kNmea41Burst[13]}));
}

TEST_F(Nmea41, GsaListsTheTwelveStrongestAndGgaCountsEveryUsedSatellite) {
  gen.ClearSatellites();
  // 14 used GPS satellites, SNR 20 + PRN % 5: ties go in PRN order.
  for (std::uint16_t prn = 1; prn <= 14; ++prn) {
    gen.SetSatellite(prn, true, 10, 20, static_cast<std::uint16_t>(20 + prn % 5));
  }
  format.constellations = {Sys::gps};
  gen.setOutputFormat(format);
  // Twelve a sentence: the two weakest go on in a further GSA, so the GSAs
  // name the 14 GGA counts.
  EXPECT_EQ(gen.GetGPGSA(),
            "$GNGSA,A,3,04,09,14,03,08,13,02,07,12,01,06,11,1.5,0.9,1.2,1*3F\r\n"
            "$GNGSA,A,3,05,10,,,,,,,,,,,1.5,0.9,1.2,1*3B\r\n");
  EXPECT_NE(gen.GetGPGGA().find(",E,1,14,"), std::string::npos);

  // Every satellite of every constellation used: 155, GSAs of 12 naming them all.
  format.constellations = Constellations::all();
  gen.setOutputFormat(format);
  for (const Constellation c : kConstellations) {
    for (std::uint16_t n = 1; n <= TTarnNMEAGenerator::satelliteCount(c); ++n) {
      gen.setSatellite(c, n, true, 10, 20, 30);
    }
  }
  EXPECT_NE(gen.GetGPGGA().find(",E,1,155,"), std::string::npos) << gen.GetGPGGA();
  EXPECT_EQ(burstLines(gen.GetGPGSA()).size(), 3u + 2 + 3 + 6);
  EXPECT_EQ(burstLines(gen.GetGPGSV()).size(), 8u + 6 + 9 + 16);
  EXPECT_EQ(burstLines(gen.GetGPGSV()).back(),
            "$GBGSV,16,16,63,61,10,020,30,62,10,020,30,63,10,020,30,1*" +
                TTarnNMEAGenerator::CheckSum("$GBGSV,16,16,63,61,10,020,30,62,10,020,30,63,"
                                             "10,020,30,1") +
                "\r\n");
}

// K = N × 1.852 exactly, worked by hand, to the decimals of N, halves away
// from zero.
TEST_F(Nmea41, KilometresPerHourAreTheKnotsTimes1852) {
  struct Case {
    long double knots;
    const char* fields;  // VTG fields 5 to 8
  };
  const Case cases[] = {
      {22.4L, "22.4,N,41.5,K"},     // 41.4848
      {10, "10,N,19,K"},            // 18.52
      {22.45L, "22.45,N,41.58,K"},  // 41.5774
      {19.44L, "19.44,N,36.00,K"},  // 36.00288
      {0.25L, "0.25,N,0.46,K"},     // 0.463
      {125, "125,N,232,K"},         // 231.5, a half: up
      {0.63L, "0.63,N,1.17,K"},     // 1.16676
      {0, "0,N,0,K"},
      {0.004L, "0,N,0,K"},
      {-3.5L, "-3.5,N,-6.5,K"},  // -6.482
      {2e15L, ",N,,K"},          // never in the exponent form: left empty
  };
  for (const Case& c : cases) {
    gen.SetSpeed(c.knots);
    const std::string vtg = gen.GetGPVTG();
    EXPECT_NE(vtg.find(std::string(",M,") + c.fields + ",A*"), std::string::npos) << vtg;
  }
}

// Worked by hand: every course lies in 0 <= c < 360 once rounded, and VTG's
// magnetic course is the true course plus a westerly variation, less an
// easterly one: in nmea41, and in the classic profile once a motion sets the
// course; empty when the variation's direction is unknown.
TEST_F(Nmea41, CoursesStayBelow360AndTheMagneticOneFollowsTheVariation) {
  using P = OutputProfile;
  using D = TCardinalPoint;
  struct Case {
    P profile;
    bool motion;  // a motion sets the course
    long double heading, variation;
    D direction;
    long double magneticHeading;
    const char* rmc;  // RMC field 8
    const char* vtg;  // VTG fields 1 to 4
  } const cases[] = {
      {P::classic, false, 359.999L, 3.1L, D::cpWest, 359.996L, "0", "359.999,T,0,M"},
      {P::classic, false, 359.9999999999999999L, 3.1L, D::cpWest, 87.5L, "0", "0,T,87.5,M"},
      {P::classic, true, 10, 3.1L, D::cpWest, 87.5L, "10", "10,T,13.1,M"},
      {P::classic, true, 10, 12.5L, D::cpEast, 87.5L, "10", "10,T,357.5,M"},
      {P::nmea41, false, 358.5L, 3.1L, D::cpWest, 87.5L, "358.5", "358.5,T,1.6,M"},
      {P::nmea41, false, 1.5L, 3.1L, D::cpEast, 87.5L, "1.5", "1.5,T,358.4,M"},
      {P::nmea41, false, 359.996L, 0, D::cpWest, 87.5L, "0", "0,T,0,M"},
      {P::nmea41, false, 84.4L, 3.1L, D::cpNorth, 87.5L, "84.4", "84.4,T,,M"},
  };
  for (const Case& c : cases) {
    format.profile = c.profile;
    gen.setOutputFormat(format);
    gen.SetHeading(c.heading);
    gen.SetMagnetic_Variation(c.variation);
    gen.SetMagnetic_Variation_Direction(c.direction);
    gen.SetMagnetic_Heading(c.magneticHeading);
    if (c.motion) gen.followMagneticCourse();
    const std::string vtg = gen.GetGPVTG();
    EXPECT_EQ(vtg.substr(7, vtg.find(",M,") + 2 - 7), c.vtg) << vtg;
    const std::string rmc = gen.GetGPRMC();
    EXPECT_NE(rmc.find(std::string(",E,22.4,") + c.rmc + ",230324,"), std::string::npos) << rmc;
  }
  format.profile = OutputProfile::classic;
  gen.setOutputFormat(format);
  gen.followMagneticCourse();
  gen.SetMagnetic_Heading(50);  // set again: it holds once more
  EXPECT_NE(gen.GetGPVTG().find(",T,50,M,"), std::string::npos) << gen.GetGPVTG();
}

// No sentence is longer than NMEA 0183's 82 characters. At the bounds the
// options take (10,000 km/h, 100,000 m, DOPs of 99.99, courses below 360 and
// variations below 180) some would be, and their numbers lose decimals;
// values far beyond leave their field empty, never in the exponent form.
TEST_F(Nmea41, EverySentenceKeepsWithinEightyTwoCharacters) {
  gen.SetSpeed(5399.57L);  // 10,000 km/h; with two decimals the RMC would be 84 long
  gen.SetHeading(359.94L);
  gen.SetMagnetic_Variation(179.94L);
  EXPECT_EQ(gen.GetGPRMC(),
            "$GNRMC,123519.000,A,4807.0380,N,01131.0000,E,5399.6,359.9,230324,179.9,W,A,V*48\r\n");

  for (const Constellation c : kConstellations) {  // GGA's count in three digits
    for (std::uint16_t n = 1; n <= TTarnNMEAGenerator::satelliteCount(c); ++n) {
      gen.setSatellite(c, n, true, 10, 20, 30);
    }
  }
  // Speed, altitude, geoid separation and DOPs alike, and every course.
  const std::regex exponent(R"(\d[Ee][-+]?\d)");
  const long double huge = std::numeric_limits<long double>::max();
  for (const long double value : {0.0L, 99.99L, -999.99L, 5399.57L, 99999.99L, 2147483647.0L, 1e18L,
                                  huge, -huge, std::numeric_limits<long double>::quiet_NaN()}) {
    for (const long double course : {0.0L, 359.99L, 359.999L}) {
      for (const long double variation : {0.0L, 99.99L, 179.99L}) {
        gen.SetSpeed(value);
        gen.SetHeading(course);
        gen.SetMagnetic_Variation(variation);
        gen.SetAltitude(value);
        gen.SetGeo_Height(-value);
        gen.SetPDOP(value);
        gen.SetHDOP(value);
        gen.SetVDOP(value);
        for (const std::string& line : burstLines(gen.GetSentences())) {
          ASSERT_LE(line.size(), 82u) << line;
          ASSERT_FALSE(std::regex_search(line, exponent)) << line;
        }
      }
    }
  }
}

TEST(OutputFormat, EachProfileHasItsZdaAndTakesTheOther) {
  TTarnNMEAGenerator gen(std::make_shared<FixedClock>(encodeDateTime({2024, 3, 23, 12, 35, 19, 0})),
                         nullptr);
  OutputFormat format;
  format.zda = ZdaForm::standard;
  gen.setOutputFormat(format);
  EXPECT_EQ(gen.GetGPZDA(), "$GPZDA,123519.000,23,03,2024,00,00*5D\r\n");
  format.zda = ZdaForm::classic;
  gen.setOutputFormat(format);
  EXPECT_EQ(gen.GetGPZDA(), "$GPZDA,123519.000,23032024,00,00*5D\r\n");
  format.profile = OutputProfile::nmea41;
  gen.setOutputFormat(format);
  EXPECT_EQ(gen.GetGPZDA(), "$GNZDA,123519.000,23032024,00,00*43\r\n");
}

TEST_F(Nmea41, TalkerOverrideReachesEverySentence) {
  format.constellations = {Sys::glonass};
  for (const OutputProfile profile : {OutputProfile::classic, OutputProfile::nmea41}) {
    format.profile = profile;
    format.talker = "II";
    gen.setOutputFormat(format);
    const std::vector<std::string> lines = burstLines(gen.GetSentences());
    ASSERT_EQ(lines.size(), profile == OutputProfile::classic ? 8u : 7u);
    for (const std::string& line : lines) {
      EXPECT_EQ(line.substr(0, 3), "$II") << line;
      const std::size_t star = line.find('*');
      EXPECT_EQ(line.substr(star + 1, 2), TTarnNMEAGenerator::CheckSum(line.substr(0, star)));
    }
  }
  format.talker = "";
  format.profile = OutputProfile::classic;
  gen.setOutputFormat(format);
  EXPECT_EQ(gen.GetGPGGA().substr(0, 7), "$GPGGA,");
}

TEST_F(Nmea41, ATalkerThatIsNotTwoUppercaseLettersIsRefused) {
  for (const char* talker : {"gn", "G", "GNN", "G1", "G,"}) {
    OutputFormat bad = format;
    bad.talker = talker;
    try {
      gen.setOutputFormat(bad);
      ADD_FAILURE() << talker;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "The talker must be two uppercase letters, such as GN.");
    }
    EXPECT_EQ(gen.outputFormat(), format);
  }
  EXPECT_EQ(burstLines(gen.GetSentences()).front(), kNmea41Burst[0]);
}

// In nmea41 a talker takes one system: under one, GPS 3 and Galileo 3 would
// both be "03" in GSV.
TEST_F(Nmea41, ATalkerForSeveralSystemsIsRefused) {
  OutputFormat several = format;
  several.talker = "GN";
  several.constellations = {Sys::gps, Sys::galileo};
  EXPECT_THROW(
      try { gen.setOutputFormat(several); } catch (const Error& e) {
        EXPECT_STREQ(e.what(),
                     "One talker for every sentence takes one satellite system: under one talker "
                     "the satellites of several would share numbers in GSV.");
        throw;
      },
      Error);
  EXPECT_EQ(gen.outputFormat(), format);
  several.constellations = {Sys::galileo};
  gen.setOutputFormat(several);
  EXPECT_EQ(gen.GetGPZDA().substr(0, 6), "$GNZDA");
}

}  // namespace
}  // namespace waymock::generator
