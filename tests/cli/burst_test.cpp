#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace waymock {
namespace {

using test::cliPath;
using test::runProcess;

std::vector<std::string> burst(std::vector<std::string> args) {
  args.insert(args.begin(), {cliPath(), "burst"});
  return args;
}

// The five satellites of the worked example.
constexpr const char* kSatellites =
    "[3]\r\nActive=1\r\nElevation=45\r\nAzimuth=120\r\nSNR=40\r\n"
    "[7]\r\nActive=1\r\nElevation=20\r\nAzimuth=300\r\nSNR=35\r\n"
    "[12]\r\nActive=1\r\nElevation=60\r\nAzimuth=45\r\nSNR=44\r\n"
    "[19]\r\nActive=1\r\nElevation=15\r\nAzimuth=210\r\nSNR=9\r\n"
    "[28]\r\nActive=1\r\nElevation=5\r\nAzimuth=80\r\nSNR=30\r\n";

TEST(CliBurst, PrintsTheWorkedExample) {
  test::TempDir dir;
  test::writeFile(dir / "satellites.ini", kSatellites);
  const auto r = runProcess(burst({"--lat",         "48:07:02.28N",
                                   "--lon",         "011:31:00E",
                                   "--alt",         "545.4",
                                   "--geoid",       "46.9",
                                   "--hdop",        "0.9",
                                   "--pdop",        "1.5",
                                   "--vdop",        "1.2",
                                   "--speed-knots", "22.4",
                                   "--heading",     "84.4",
                                   "--mag-heading", "87.5",
                                   "--mag-var",     "3.1W",
                                   "--satellites",  (dir / "satellites.ini").string(),
                                   "--utc",         "2024-03-23T12:35:19Z"}));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "$GPZDA,123519.000,23032024,00,00*5D\r\n"
            "$GPGGA,123519.000,4807.0380,N,01131.0000,E,1,4,0.9,545.4,M,46.9,M,,*65\r\n"
            "$GPGLL,4807.0380,N,01131.0000,E,123519.000,A,A*56\r\n"
            "$GPVTG,84.4,T,87.5,M,22.4,N,41.5045395590143,K,A*21\r\n"
            "$GPRMC,123519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,230324,3.1,W,A*12\r\n"
            "$GPGSA,A,3,13,01,16,,24,,,,,,,,1.5,0.9,1.2*3E\r\n"
            "$GPGSV,2,1,5,3,45,120,40,7,20,300,35,12,60,45,44,19,15,210,9*48\r\n"
            "$GPGSV,2,2,5,28,5,80,30*78\r\n");
}

// A decimal-comma locale in the environment changes no number, read or written.
TEST(CliBurst, ADecimalCommaLocaleChangesNoNumber) {
  const auto args =
      burst({"--alt", "12.5", "--heading", "359.99", "--pdop", "1.25", "--speed", "22.5", "--lat",
             "52:22:59.99N", "--sentences", "GPGGA,GPVTG,GPGSA", "--utc", "2024-03-23T12:35:19Z"});
  const auto c = runProcess(args, {}, std::chrono::seconds(10), {"LC_ALL=C"});
  const auto comma = runProcess(args, {}, std::chrono::seconds(10),
                                {std::string("LC_ALL=") + test::kDecimalCommaLocale});
  EXPECT_EQ(comma.exitCode, 0) << comma.err;
  EXPECT_NE(comma.out.find(",12.5,M,"), std::string::npos) << comma.out;
  EXPECT_NE(comma.out.find("$GPVTG,359.99,T,"), std::string::npos) << comma.out;
  EXPECT_EQ(comma.out, c.out);
}

TEST(CliBurst, OptionsReachTheSentences) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } const cases[] = {
      // Sentences in burst order whatever the order given; fractions of a
      // second round to the millisecond, over midnight into the new year.
      {{"--sentences", "gpgll, GPZDA", "--utc", "2023-12-31T23:59:59.9996Z", "--lat", "05:03:00s",
        "--lon", "005:03:00w"},
       "$GPZDA,000000.000,01012024,00,00*52\r\n"
       "$GPGLL,0503.0000,S,00503.0000,W,000000.000,A,A*56\r\n"},
      // A list given twice: the last one counts, as for every option.
      {{"--sentences", "GPGLL,GPZDA", "--utc", "2024-01-01T00:00:00Z", "--sentences", "gpzda"},
       "$GPZDA,000000.000,01012024,00,00*52\r\n"},
      // km/h become knots by the program's factor: 10 km/h is 5.397 knots.
      {{"--sentences", "GPVTG", "--speed", "10", "--heading", "0"},
       "$GPVTG,0,T,0,M,5.4,N,10.0055586436909,K,A*19\r\n"},
      // Decimal degrees as on a map: north and east positive.
      {{"--sentences", "GPGLL", "--utc", "2024-01-01T00:00:00Z", "--lat", "-33.5", "--lon",
        "-11.5"},
       "$GPGLL,3330.0000,S,01130.0000,W,000000.000,A,A*56\r\n"},
      {{"--sentences", "GPGLL", "--utc", "2024-01-01T00:00:00Z", "--lat", "48.1173", "--lon",
        "11.5167"},
       "$GPGLL,4807.0380,N,01131.0020,E,000000.000,A,A*59\r\n"},
      {{"--sentences", "GPGLL", "--utc", "2024-01-01T00:00:00Z", "--lat", "90", "--lon", "-180"},
       "$GPGLL,9000.0000,N,18000.0000,W,000000.000,A,A*4B\r\n"},
      // A hair below a whole minute carries into it rather than giving 60 seconds.
      {{"--sentences", "GPGLL", "--utc", "2024-01-01T00:00:00Z", "--lat", "59.99999999999", "--lon",
        "-0"},
       "$GPGLL,6000.0000,N,00000.0000,E,000000.000,A,A*5F\r\n"},
  };
  for (const auto& c : cases) {
    const auto r = runProcess(burst(c.args));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[1];
  }
}

// --profile, --zda, --constellations and --talker, keywords in any case.
TEST(CliBurst, WritesTheOutputFormatAsked) {
  test::TempDir dir;
  test::writeFile(dir / "satellites.ini",
                  "[3]\r\nActive=1\r\nElevation=45\r\nAzimuth=120\r\nSNR=40\r\n"
                  "[GL2]\r\nActive=1\r\nElevation=30\r\nAzimuth=200\r\nSNR=38\r\n");
  const std::vector<std::string> fix = {"--satellites", (dir / "satellites.ini").string(), "--utc",
                                        "2024-03-23T12:35:19Z"};
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } const cases[] = {
      // Sentences named with or without a talker.
      {{"--profile", "nmea41", "--constellations", "gps,glonass", "--sentences",
        "GGA,gnrmc,GPGSA,GSV"},
       "$GNGGA,123519.000,0000.0000,N,00000.0000,E,1,02,0,0,M,0,M,,*63\r\n"
       "$GNRMC,123519.000,A,0000.0000,N,00000.0000,E,0,0,230324,0,W,A,V*64\r\n"
       "$GNGSA,A,3,03,,,,,,,,,,,,0,0,0,1*2C\r\n"
       "$GNGSA,A,3,66,,,,,,,,,,,,0,0,0,2*2C\r\n"
       "$GPGSV,1,1,01,03,45,120,40,1*50\r\n"
       "$GLGSV,1,1,01,66,30,200,38,1*43\r\n"},
      // A later list replaces the list before.
      {{"--profile", "NMEA41", "--constellations", "gps", "--constellations", "GLONASS",
        "--sentences", "GPGSA"},
       "$GNGSA,A,3,66,,,,,,,,,,,,0,0,0,2*2C\r\n"},
      {{"--talker", "II", "--sentences", "GPRMC"},
       "$IIRMC,123519.000,A,0000.0000,N,00000.0000,E,0,0,230324,0,W,A*17\r\n"},
      {{"--zda", "Standard", "--sentences", "GPZDA"}, "$GPZDA,123519.000,23,03,2024,00,00*5D\r\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = fix;
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = runProcess(burst(args));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[1];
  }
}

TEST(CliBurst, RefusesBadInputWithAClearMessage) {
  const std::string kSeeHelp = "Run with --help for more information.\n";
  const std::string kLatitudeForm =
      "DEG:MIN:SEC followed by N or S (48:07:02.28N) or decimal degrees, north positive (-33.5 "
      "is 33.5 S).\n";
  test::TempDir dir;
  test::writeFile(dir / "bad.ini", "[40]\r\nActive=1\r\n");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  } const cases[] = {
      // Each option's own range first.
      {{"--heading", "360"},
       2,
       "waymock-cli: --heading: \"360\" is out of range; it must be at least 0 and less than "
       "360.\n" +
           kSeeHelp},
      {{"--mag-heading", "-0.5"},
       2,
       "waymock-cli: --mag-heading: \"-0.5\" is out of range; it must be at least 0 and less than "
       "360.\n" +
           kSeeHelp},
      {{"--speed", "-5"},
       2,
       "waymock-cli: --speed: \"-5\" is out of range; it must be at least 0.\n" + kSeeHelp},
      {{"--speed-knots", "-0.1"},
       2,
       "waymock-cli: --speed-knots: \"-0.1\" is out of range; it must be at least 0.\n" + kSeeHelp},
      {{"--lat", "90.5"},
       2,
       "waymock-cli: --lat: \"90.5\" is out of range; it must be from -90 to 90.\n"},
      {{"--lon", "-180.01"},
       2,
       "waymock-cli: --lon: \"-180.01\" is out of range; it must be from -180 to 180.\n"},
      // Rejected values: the generator's own message.
      {{"--lat", "91:00:00N"}, 2, "waymock-cli: Latitude Degree must be between 0 and 90.\n"},
      {{"--lon", "010:60:00E"}, 2, "waymock-cli: Longitude Minute must be between 0 and 60.\n"},
      {{"--lat", "10:00:60N"}, 2, "waymock-cli: Latitude Second must be between 0 and 60.\n"},
      {{"--mag-var", "180E"}, 2, "waymock-cli: Magnetic Variation must be between 0 and 180.\n"},
      {{"--satellites", (dir / "bad.ini").string()},
       2,
       "waymock-cli: The satellite file " + (dir / "bad.ini").string() +
           ": PseudoRandomCode must be between 1 and 32.\n"},
      // Malformed text.
      {{"--lat", "48:07N"}, 2, "waymock-cli: --lat: \"48:07N\" is not " + kLatitudeForm},
      {{"--lat", "48:07:02.28E"},
       2,
       "waymock-cli: --lat: \"48:07:02.28E\" is not " + kLatitudeForm},
      {{"--lat", "48.5N"}, 2, "waymock-cli: --lat: \"48.5N\" is not " + kLatitudeForm},
      {{"--lon", "-11:31:00E"},
       2,
       "waymock-cli: --lon: \"-11:31:00E\" is not DEG:MIN:SEC followed by E or W (011:31:00E) or "
       "decimal degrees, east positive (-11.5 is 11.5 W).\n"},
      {{"--alt", "1,5"}, 2, "waymock-cli: --alt: \"1,5\" is not a number.\n"},
      {{"--hdop", "nan"}, 2, "waymock-cli: --hdop: \"nan\" is not a number.\n"},
      {{"--mag-var", "3.1X"},
       2,
       "waymock-cli: --mag-var: \"3.1X\" is not degrees followed by E or W, as in 3.1W.\n"},
      {{"--sentences", "GPZDA,GPXYZ"},
       2,
       "waymock-cli: --sentences: unknown sentence \"GPXYZ\" (choose from GPZDA, GPGGA, GPGLL, "
       "GPVTG, GPRMC, GPGSA, GPGSV).\n"},
      {{"--sentences", " , "},
       2,
       "waymock-cli: --sentences: the list is empty; name at least one of GPZDA, GPGGA, GPGLL, "
       "GPVTG, GPRMC, GPGSA, GPGSV.\n"},
      {{"--utc", "2024-02-30T12:00:00Z"},
       2,
       "waymock-cli: --utc: \"2024-02-30T12:00:00Z\" is not a UTC date and time such as "
       "2024-03-23T12:35:19Z or 2024-03-23T12:35:19.250Z.\n"},
      {{"--profile", "nmea42"},
       2,
       "waymock-cli: --profile: nmea42 not in {classic,nmea41}\n" + kSeeHelp},
      {{"--zda", "iso"}, 2, "waymock-cli: --zda: iso not in {classic,standard}\n" + kSeeHelp},
      {{"--constellations", "gps,mars"},
       2,
       "waymock-cli: --constellations: mars not in {gps,glonass,galileo,beidou}\n" + kSeeHelp},
      {{"--constellations", "gps,galileo"},
       2,
       "waymock-cli: --constellations: the classic profile sends GPS only; add --profile "
       "nmea41.\n"},
      {{"--talker", "gp"},
       2,
       "waymock-cli: --talker: \"gp\" is not two uppercase letters, such as GN or GP.\n" +
           kSeeHelp},
      {{"--talker", "GPS"},
       2,
       "waymock-cli: --talker: \"GPS\" is not two uppercase letters, such as GN or GP.\n" +
           kSeeHelp},
      // A runtime failure.
      {{"--satellites", (dir / "missing.ini").string()},
       1,
       "waymock-cli: Cannot read the satellite file " + (dir / "missing.ini").string() + ".\n"},
  };
  for (const auto& c : cases) {
    const auto r = runProcess(burst(c.args));
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args[1];
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

TEST(CliBurst, ConflictingOrUnknownOptionsAreBadArguments) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--speed", "10", "--speed-knots", "5"}, {"--no-such-option"}, {"--lat"}}) {
    const auto r = runProcess(burst(args));
    EXPECT_EQ(r.exitCode, 2) << args[0];
    EXPECT_NE(r.err, "");
  }
  const auto help = runProcess(burst({"--help"}));
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--speed-knots"), std::string::npos);
}

}  // namespace
}  // namespace waymock
