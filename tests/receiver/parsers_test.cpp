#include <gtest/gtest.h>

#include <clocale>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/test_support.h"
#include "receiver/custom_gps_receiver.h"
#include "receiver/receiver_test_support.h"

namespace waymock::receiver {
namespace {

using test::line;

struct Fixture {
  TTarnCustomGPSReceiver r;
  std::vector<std::string> events;
  Fixture() { test::recordEvents(r, events); }
  const TGPSPosition& pos() const { return r.Position(); }
  // Feeds sentences (bodies without checksum) and returns their events,
  // OnReceive left out.
  std::vector<std::string> feed(std::initializer_list<std::string_view> bodies) {
    events.clear();
    std::string text;
    for (auto b : bodies) text += line(b);
    r.ReceiveData(text);
    events.pop_back();
    return events;
  }
};

TEST(Gga, FieldsOfTheStandardExample) {
  Fixture f;
  f.feed({"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"});
  const auto& p = f.pos();
  EXPECT_EQ(p.Latitude_Degree, 48);
  EXPECT_EQ(p.Latitude_Minute, 7);
  EXPECT_EQ(p.Latitude_Second, 2.28L);
  EXPECT_EQ(p.Latitude_Direction, TCardinalPoint::cpNorth);
  EXPECT_EQ(p.Latitude_Raw, 4807.038L);
  EXPECT_EQ(p.Longitude_Degree, 11);
  EXPECT_EQ(p.Longitude_Minute, 31);
  EXPECT_EQ(p.Longitude_Second, 0);
  EXPECT_EQ(p.Longitude_Direction, TCardinalPoint::cpEast);
  EXPECT_EQ(p.Longitude_Raw, 1131.0L);
  EXPECT_EQ(p.Fix_Quality, 1);
  EXPECT_EQ(p.Satellites_Used, 8);
  EXPECT_EQ(p.HDOP, 0.9L);
  EXPECT_EQ(p.Altitude, 545.4L);
  EXPECT_EQ(p.Geo_Height, 46.9L);
  EXPECT_EQ(p.Time_Hour, 12);
  EXPECT_EQ(p.Time_Minute, 35);
  EXPECT_EQ(p.Time_Second, 19);
}

// A field of the position or the status, as a number.
using Field = long double (*)(const TTarnCustomGPSReceiver&);
template <auto member>
long double position(const TTarnCustomGPSReceiver& r) {
  return static_cast<long double>(r.Position().*member);
}
template <auto member>
long double status(const TTarnCustomGPSReceiver& r) {
  return static_cast<long double>(r.Status().*member);
}
constexpr Field kQuality = position<&TGPSPosition::Fix_Quality>;
constexpr Field kLatitudeDirection = position<&TGPSPosition::Latitude_Direction>;
constexpr Field kSpeedKmh = position<&TGPSPosition::Speed_KMH>;

constexpr long double kSouth = static_cast<long double>(TCardinalPoint::cpSouth);
const std::string kGgaDifferential =
    "$GPGGA,123519,4807.038,N,01131.000,E,2,08,0.9,545.4,M,46.9,M,,";
const std::string kRmcNoSpeed = "$GPRMC,123519,A,4807.038,N,01131.000,E,,,230394,,";

// One sentence after those that set the scene: the fields it leaves, and,
// where given, the events it fires (OnReceive left out). Each row starts
// from a new receiver.
struct FieldRow {
  const char* rule;
  std::vector<std::string> before;
  std::string sentence;
  std::vector<std::pair<Field, long double>> fields;
  std::optional<std::vector<std::string>> events = std::nullopt;
};

TEST(Parsers, WhatOneSentenceSetsAndKeeps) {
  const FieldRow rows[] = {
      // GGA
      {"an empty quality is none, empty satellites and time leave theirs, a negative geoid "
       "separation reads as 0",
       {kGgaDifferential},
       "$GPGGA,,4807.038,N,01131.000,E,,,0.9,545.4,M,-34.0,M,,",
       {{kQuality, 0},
        {position<&TGPSPosition::Satellites_Used>, 8},
        {position<&TGPSPosition::Geo_Height>, 0},
        {position<&TGPSPosition::Time_Hour>, 12},
        {position<&TGPSPosition::Time_Second>, 19}}},
      {"a letter for the quality is no quality",
       {kGgaDifferential},
       "$GPGGA,123519,4807.038,N,01131.000,E,X,08,0.9,545.4,M,46.9,M,,",
       {{kQuality, 0}}},
      {"truncated before the altitude: it reads as 0, and that is a change",
       {kGgaDifferential},
       "$GPGGA,123519,4807.038,N,01131.000,E,1,08",
       {{position<&TGPSPosition::Altitude>, 0}},
       std::vector<std::string>{"Position3D 48.1173 -11.5167 0", "Altitude 0"}},
      {"an unusable altitude (two points) changes nothing",
       {kGgaDifferential},
       "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,1.2.3,M,46.9,M,,",
       {{position<&TGPSPosition::Altitude>, 545.4L}}},
      // Coordinates
      {"minutes alone",
       {},
       "$GPGLL,12,N,,W,120000,A,A",
       {{position<&TGPSPosition::Latitude_Degree>, 0},
        {position<&TGPSPosition::Latitude_Minute>, 12}}},
      {"a zero latitude flips hemisphere without a change of position",
       {"$GPGLL,0000.000,N,00000.000,E,120000,A,A"},
       "$GPGLL,0000.000,S,00000.000,E,120001,A,A",
       {{kLatitudeDirection, kSouth}},
       std::vector<std::string>{}},
      {"a non-zero latitude's flip is a change; any letter but N is south",
       {"$GPGLL,1030.000,N,01030.000,W,120000,A,A"},
       "$GPGLL,1030.000,x,01030.000,W,120000,A,A",
       {{kLatitudeDirection, kSouth}},
       std::vector<std::string>{"Position2D -10.5 10.5", "Position3D -10.5 10.5 0",
                                "Latitude 10 30 0 cpSouth"}},
      {"an empty hemisphere keeps the direction, an unusable coordinate the value",
       {"$GPGLL,1030.000,S,01030.000,W,120000,A,A"},
       "$GPGLL,10A0.000,,01030.000,e,120000,A,A",
       {{kLatitudeDirection, kSouth},
        {position<&TGPSPosition::Latitude_Minute>, 30},
        {position<&TGPSPosition::Longitude_Direction>,
         static_cast<long double>(TCardinalPoint::cpEast)}}},
      // GLL
      {"with the mode field: a fix",
       {},
       "$GPGLL,4916.45,N,12311.12,W,225444,A,A",
       {{kQuality, 1},
        {position<&TGPSPosition::Latitude_Degree>, 49},
        {position<&TGPSPosition::Latitude_Minute>, 16},
        {position<&TGPSPosition::Latitude_Second>, 27},
        {position<&TGPSPosition::Time_Hour>, 22}}},
      {"ending with the status, which reads as empty: no fix",
       {"$GPGLL,4916.45,N,12311.12,W,225444,A,A"},
       "$GPGLL,4916.45,N,12311.12,W,225444,A",
       {{kQuality, 0}}},
      // RMC
      {"status V: no fix",
       {},
       "$GPRMC,123519,V,4807.038,N,01131.000,E,,,230394,,",
       {{kQuality, 0}}},
      {"status A: a fix", {}, kRmcNoSpeed, {{kQuality, 1}}},
      {"a differential fix stays",
       {kGgaDifferential},
       "$GPRMC,123519,a,4807.038,N,01131.000,E,,,230394,,",
       {{kQuality, 2}}},
      {"a speed in knots is a change, and gives km/h",
       {kRmcNoSpeed},
       "$GPRMC,123519,A,4807.038,N,01131.000,E,010.0,,230394,,",
       {{kSpeedKmh, 10.0L / 0.5397L}},
       std::vector<std::string>{"Speed 18.5288"}},
      {"another speed",
       {"$GPRMC,123519,A,4807.038,N,01131.000,E,010.0,,230394,,"},
       "$GPRMC,123519,A,4807.038,N,01131.000,E,5.5,,230394,,",
       {{kSpeedKmh, 5.5L / 0.5397L}}},
      // VTG
      {"the knots RMC gave: no change of speed, but VTG's own km/h",
       {"$GPRMC,123519,A,4807.038,N,01131.000,E,5.5,,230394,,"},
       "$GPVTG,,T,,M,5.5,N,10.2,K",
       {{kSpeedKmh, 10.2L}},
       std::vector<std::string>{}},
      {"without the unit letter after it, field 7 reads as empty, which is 0",
       {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"},
       "$GPVTG,054.7,T,034.4,M,005.5,N,011.2",
       {{kSpeedKmh, 0}}},
      // ZDA
      {"day, month and year in separate fields: only the time is taken",
       {"$GPZDA,201530.50,01022024,00,00"},
       "$GPZDA,211531.5,04,07,2002,00,00",
       {{position<&TGPSPosition::Date_Day>, 1},
        {position<&TGPSPosition::Date_Year>, 2024},
        {position<&TGPSPosition::Time_Hour>, 21},
        {position<&TGPSPosition::Time_Second>, 31},
        {position<&TGPSPosition::Time_Fraction>, 5}}},
      // GSA
      {"M is manual; an unusable fix type leaves it",
       {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"},
       "$GPGSA,M,x,,,,,,,,,,,,,2.5,1.3,2.1",
       {{position<&TGPSPosition::Selection_Mode>, 2}, {position<&TGPSPosition::Fix_Type>, 3}}},
      {"any letter but M is automatic",
       {"$GPGSA,M,3,,,,,,,,,,,,,2.5,1.3,2.1"},
       "$GPGSA,m,2,,,,,,,,,,,,,2.5,1.3,2.1",
       {{position<&TGPSPosition::Selection_Mode>, 1}, {position<&TGPSPosition::Fix_Type>, 2}}},
      // MSS
      {"no channel field: the bit rate reads as 0",
       {"$GPMSS,55,27,318.0,100,1"},
       "$GPMSS,55,27,318.0,200",
       {{status<&TReceiverStatus::Beacon_Bit_Rate>, 0}}},
  };
  for (const FieldRow& row : rows) {
    SCOPED_TRACE(row.rule);
    Fixture f;
    for (const std::string& sentence : row.before) f.feed({sentence});
    const auto events = f.feed({row.sentence});
    for (std::size_t i = 0; i < row.fields.size(); ++i) {
      EXPECT_EQ(row.fields[i].first(f.r), row.fields[i].second) << "field " << i;
    }
    if (row.events) {
      EXPECT_EQ(events, *row.events);
    }
  }
}

TEST(Rmc, DateAndVariation) {
  struct Case {
    const char* body;
    int day, month, year;
    TCardinalPoint variationDirection;
  } cases[] = {
      {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", 23, 3, 2094,
       TCardinalPoint::cpWest},  // field 11 ends the sentence: left as it was
      {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,23031994,003.1,E,A", 23, 3, 1994,
       TCardinalPoint::cpEast},
      {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,2303,003.1,,A", 1, 1, 0,
       TCardinalPoint::cpWest},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    Fixture f;
    f.feed({c.body});
    EXPECT_EQ(f.pos().Date_Day, c.day);
    EXPECT_EQ(f.pos().Date_Month, c.month);
    EXPECT_EQ(f.pos().Date_Year, c.year);
    EXPECT_EQ(f.pos().Magnetic_Variation, 3.1L);
    EXPECT_EQ(f.pos().Magnetic_Variation_Direction, c.variationDirection);
    EXPECT_EQ(f.pos().Heading, 84.4L);
  }
}

TEST(Vtg, FieldsOfTheStandardExample) {
  Fixture f;
  const auto events = f.feed({"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"});
  const std::vector<std::string> expected = {"Speed 10.2", "Heading 54.7"};
  EXPECT_EQ(events, expected);
  EXPECT_EQ(f.pos().Heading, 54.7L);
  EXPECT_EQ(f.pos().Magnetic_Heading, 34.4L);
  EXPECT_EQ(f.pos().Speed, 5.5L);
  EXPECT_EQ(f.pos().Speed_KMH, 10.2L);
}

TEST(Zda, FieldsOfTheStandardExample) {
  Fixture f;
  f.feed({"$GPZDA,201530.50,01022024,00,00"});
  EXPECT_EQ(f.pos().Date_Day, 1);
  EXPECT_EQ(f.pos().Date_Month, 2);
  EXPECT_EQ(f.pos().Date_Year, 2024);
  EXPECT_EQ(f.pos().Time_Hour, 20);
  EXPECT_EQ(f.pos().Time_Fraction, 50);
}

TEST(Gsa, FieldsOfTheStandardExample) {
  Fixture f;
  f.feed({"$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"});
  EXPECT_EQ(f.pos().Selection_Mode, 1);
  EXPECT_EQ(f.pos().Fix_Type, 3);
  EXPECT_EQ(f.pos().PDOP, 2.5L);
  EXPECT_EQ(f.pos().HDOP, 1.3L);
  EXPECT_EQ(f.pos().VDOP, 2.1L);
}

const char* kGsv1 = "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00";
const char* kGsv2 = "$GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00";
const char* kGsv3 = "$GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,";

TEST(Gsv, CycleOfElevenSatellites) {
  Fixture f;
  const auto events = f.feed({kGsv1, kGsv2, kGsv3});
  ASSERT_EQ(events.size(), 12u);
  EXPECT_EQ(events[0], "Satellite 3 3 111 0");
  EXPECT_EQ(events[10], "Satellite 27 5 244 0");  // empty SNR before the checksum
  EXPECT_EQ(events[11], "Satellites");
  ASSERT_EQ(f.r.Satellites().size(), 11u);
  EXPECT_EQ(f.r.Satellites()[5].PseudoRandomCode, 16);
  EXPECT_EQ(f.r.Satellites()[5].Elevation, 57);
  EXPECT_EQ(f.r.Satellites()[5].Azimuth, 208);
  EXPECT_EQ(f.r.Satellites()[5].SignalToNoiseRatio, 39);

  // The same cycle again gives 11, not 22.
  f.feed({kGsv1, kGsv2, kGsv3});
  EXPECT_EQ(f.r.Satellites().size(), 11u);
  // Messages 2 and 3 alone append to what the last cycle left.
  f.feed({kGsv2, kGsv3});
  EXPECT_EQ(f.r.Satellites().size(), 18u);
  int n = 0;
  for (const TSatellite& s : f.r.Satellites()) n += s.PseudoRandomCode > 0;
  EXPECT_EQ(n, 18);
}

TEST(Gsv, EdgeCases) {
  Fixture f;
  f.feed({kGsv1, kGsv2, kGsv3});
  // No satellites in view: the list empties and nothing fires.
  EXPECT_TRUE(f.feed({"$GPGSV,1,1,00"}).empty());
  EXPECT_TRUE(f.r.Satellites().empty());
  // "3" and "03" differ: no end of cycle.
  auto events = f.feed({"$GPGSV,3,03,09,01,02,03,04"});
  EXPECT_EQ(events, std::vector<std::string>{"Satellite 1 2 3 4"});
  // A message number that is not an integer drops the sentence.
  EXPECT_TRUE(f.feed({"$GPGSV,1,x,09,05,06,07,08"}).empty());
  EXPECT_EQ(f.r.Satellites().size(), 1u);
  // Four empty fields still make a satellite; a single message ends its cycle.
  events = f.feed({"$GPGSV,1,1,02,07,08,09,10,,,,"});
  const std::vector<std::string> expected = {"Satellite 7 8 9 10", "Satellite 0 0 0 0",
                                             "Satellites"};
  EXPECT_EQ(events, expected);
}

TEST(Gsv, SatelliteFieldsThatAreNotIntegersGiveZero) {
  Fixture f;
  const auto events = f.feed({"$GPGSV,1,1,03,x1,-5,+7,1.5,99999999999,045,,0007,12,34,56"});
  const std::vector<std::string> expected = {"Satellite 0 -5 7 0", "Satellite 0 45 0 7",
                                             "Satellites"};
  // The last group lacks a comma after its azimuth, so it is not a group.
  EXPECT_EQ(events, expected);
  EXPECT_EQ(f.r.Satellites().size(), 2u);
}

TEST(Gsv, SatelliteHandlerErrorEndsTheGroups) {
  Fixture f;
  int calls = 0;
  f.r.OnSatelliteReceive = [&calls](TTarnCustomGPSReceiver&, const TSatellite& s) {
    ++calls;
    if (s.PseudoRandomCode == 4) throw std::runtime_error("stop");
  };
  const auto events = f.feed({kGsv1});
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(f.r.Satellites().size(), 2u);
  EXPECT_TRUE(events.empty());
}

TEST(Gsv, AddressesStayValidDuringACycle) {
  Fixture f;
  std::vector<const TSatellite*> seen;
  f.r.OnSatelliteReceive = [&seen](TTarnCustomGPSReceiver&, const TSatellite& s) {
    seen.push_back(&s);
  };
  f.feed({kGsv1, kGsv2, kGsv3});
  ASSERT_EQ(seen.size(), 11u);
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], &f.r.Satellites()[i]);
}

// A receiver with a bug, or a hostile sender, may send any number of GSV
// groups; the list keeps what a real receiver could report and no more, and a
// new cycle gives the rest of the memory back.
TEST(Gsv, HostileGroupCountsStayBounded) {
  Fixture f;
  std::string flood = "$GPGSV,9,2,0";
  for (int i = 0; i < 1000; ++i) flood += ",1,1,1,1";
  f.r.OnSatelliteReceive = nullptr;
  f.feed({flood, flood});
  EXPECT_EQ(f.r.Satellites().size(), SatelliteList::kMaxSize);
  f.feed({"$GPGSV,1,1,01,05,06,07,08"});
  EXPECT_EQ(f.r.Satellites().size(), 1u);
  EXPECT_LE(f.r.Satellites().reserved(), SatelliteList::kKeptOnClear);
}

// Number text beyond what extended precision holds: too large is unusable
// (the target keeps its value), too small reads as 0; nothing decoded is ever
// infinite.
TEST(Numbers, BeyondExtendedPrecisionIsNeverInfinite) {
  Fixture f;
  const std::string huge = "1" + std::string(5000, '0');
  const std::string tiny = "0." + std::string(5000, '0') + "1";
  const std::string nearMax = std::string(4932, '9');  // fits, but not in km/h
  f.feed({"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
          "$GPRMC,123519,A,4807.038,N,01131.000,E,22.4,84.4,230394,3.1,W,A"});
  f.feed({"$GPGGA,123519,4807.038,N,01131.000,E,1,08," + huge + "," + huge + ",M," + huge + ",M,,",
          "$GPRMC,123519,A,4807.038,N,01131.000,E," + nearMax + "," + huge + ",230394," + huge +
              ",W,A",
          "$GPVTG," + huge + ",T," + huge + ",M," + huge + ",N," + huge + ",K,A"});
  const auto& p = f.pos();
  EXPECT_EQ(p.HDOP, 0.9L);
  EXPECT_EQ(p.Altitude, 545.4L);
  EXPECT_EQ(p.Geo_Height, 46.9L);
  EXPECT_EQ(p.Speed, 22.4L);
  EXPECT_EQ(p.Speed_KMH, 22.4L / 0.5397L);
  EXPECT_EQ(p.Heading, 84.4L);
  EXPECT_EQ(p.Magnetic_Variation, 3.1L);
  EXPECT_EQ(p.Magnetic_Heading, 0);
  f.feed({"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9," + tiny + ",M,46.9,M,,"});
  EXPECT_EQ(p.Altitude, 0);
  f.feed({"$GPGGA,123519,4807." + std::string(5000, '0') + "1,N,01131.000,E,1,08,0.9,1,M,1,M,,"});
  EXPECT_EQ(p.Latitude_Minute, 7);
  EXPECT_EQ(p.Latitude_Second, 0);
}

TEST(Mss, FieldsOfTheStandardExample) {
  Fixture f;
  f.feed({"$GPMSS,55,27,318.0,100,1"});
  EXPECT_EQ(f.r.Status().Signal_Strength, 55);
  EXPECT_EQ(f.r.Status().Signal_To_Noise_Ratio, 27);
  EXPECT_EQ(f.r.Status().Beacon_Frequency, 318.0L);
  EXPECT_EQ(f.r.Status().Beacon_Bit_Rate, 100);
}

TEST(Navigation, BwcRmbAam) {
  Fixture f;
  EXPECT_EQ(f.r.Navigation().Distance, -1.0L);
  EXPECT_TRUE(f.feed({"$GPBWC,220516,5130.02,N,00046.34,W,213.8,T,218.0,M,12.4,N,EGLM"}).empty());
  const TNavigationInfo& n = f.r.Navigation();
  EXPECT_EQ(n.Distance, 12.4L);
  EXPECT_EQ(n.Bearing_True, 213.8L);
  EXPECT_EQ(n.Bearing_Magnetic, 218.0L);
  EXPECT_EQ(n.Destination_Waypoint, "EGLM");

  EXPECT_TRUE(f.feed({"$GPRMB,A,0.66,L,003,004,4917.24,N,12309.57,W,001.3,052.5,000.5,V"}).empty());
  EXPECT_EQ(n.Cross_Track_Error, 0.66L);
  EXPECT_EQ(n.Steer_Direction, 1);
  EXPECT_EQ(n.Origin_Waypoint, "003");
  EXPECT_EQ(n.Destination_Waypoint, "004");
  EXPECT_EQ(n.Distance, 1.3L);
  EXPECT_EQ(n.Bearing_True, 52.5L);
  EXPECT_EQ(n.Closing_Velocity, 0.5L);
  EXPECT_EQ(f.feed({"$GPRMB,A,0.66,r,003,004,4917.24,N,12309.57,W,001.3,052.5,000.5,a"}),
            std::vector<std::string>{"Arrival 004 0"});
  EXPECT_EQ(n.Steer_Direction, 2);

  const TGPSPosition before = f.pos();
  EXPECT_EQ(f.feed({"$GPAAM,A,A,0.10,N,WPTNME"}), std::vector<std::string>{"Arrival WPTNME 0.1"});
  EXPECT_TRUE(f.feed({"$GPAAM,A,V,0.10,N,WPTNME"}).empty());
  EXPECT_TRUE(f.feed({"$GPAAM,A,A,0.10,K,WPTNME"}).empty());
  EXPECT_EQ(f.feed({"$GPAAM,a,a,1.2.3,n,WPT"}), std::vector<std::string>{"Arrival WPT 0"});
  EXPECT_EQ(n.Destination_Waypoint, "004");
  EXPECT_EQ(f.pos().Latitude_Raw, before.Latitude_Raw);
}

TEST(Locale, DecimalCommaDoesNotChangeNumbers) {
  waymock::test::LocaleGuard guard(waymock::test::kDecimalCommaLocale);
  ASSERT_TRUE(guard.ok()) << "locale not installed";
  Fixture f;
  f.feed({"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
          "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W,A"});
  EXPECT_EQ(f.pos().Altitude, 545.4L);
  EXPECT_EQ(f.pos().HDOP, 0.9L);
  EXPECT_EQ(f.pos().Speed, 22.4L);
  EXPECT_EQ(f.pos().Latitude_Second, 2.28L);
  // A comma can never be a decimal separator in a field.
  f.feed({"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"});
  EXPECT_EQ(f.pos().Heading, 54.7L);
}

}  // namespace
}  // namespace waymock::receiver
