#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "receiver/receiver_test_support.h"

namespace waymock {
namespace {

using nlohmann::json;
using test::cliPath;
using test::runProcess;

std::string line(std::string_view body) {
  unsigned sum = 0;
  for (std::size_t i = 1; i < body.size(); ++i) sum ^= static_cast<unsigned char>(body[i]);
  char hex[8];
  std::snprintf(hex, sizeof hex, "*%02X\r\n", sum);
  return std::string(body) + hex;
}

const std::string kLog =
    line("$GPZDA,123519.50,07122026,00,00") +
    line("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
    line("$GPRMC,123519,A,4807.038,N,01131.000,E,010.0,084.4,071226,003.1,W,A") +
    line("$GPGSV,1,1,02,03,03,111,40,04,15,270,") + line("$GPAAM,A,A,0.10,N,WPTNME") +
    line("$GPBWC,220516,5130.02,N,00046.34,W,213.8,T,218.0,M,12.4,N,EGLM") +
    line("$GPMSS,55,27,318.0,100,1");

std::vector<json> jsonLines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(json::parse(l));
  return lines;
}

TEST(DecodeCli, PrintsTheRecordsUnderTheirNames) {
  test::TempDir dir;
  test::writeFile(dir / "log.nmea", kLog);
  const auto result = runProcess({cliPath(), "decode", (dir / "log.nmea").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const json j = json::parse(result.out);
  const json& p = j.at("Position");
  EXPECT_EQ(p.at("Latitude_Degree"), 48);
  EXPECT_EQ(p.at("Latitude_Minute"), 7);
  EXPECT_DOUBLE_EQ(p.at("Latitude_Second").get<double>(), 2.28);
  EXPECT_EQ(p.at("Latitude_Direction"), "N");
  EXPECT_EQ(p.at("Longitude_Direction"), "E");
  EXPECT_EQ(p.at("Magnetic_Variation_Direction"), "W");
  EXPECT_DOUBLE_EQ(p.at("Altitude").get<double>(), 545.4);
  EXPECT_NEAR(p.at("Speed_KMH").get<double>(), 18.5288, 1e-4);
  EXPECT_EQ(p.at("Date_Year"), 2026);
  EXPECT_EQ(p.at("Time_Hour"), 12);
  EXPECT_EQ(p.at("Fix_Quality"), 1);
  ASSERT_EQ(p.at("Satellites").size(), 2u);
  EXPECT_EQ(p.at("Satellites")[1], (json{{"PseudoRandomCode", 4},
                                         {"Elevation", 15},
                                         {"Azimuth", 270},
                                         {"SignalToNoiseRatio", 0}}));
  EXPECT_DOUBLE_EQ(j.at("Navigation").at("Distance").get<double>(), 12.4);
  EXPECT_EQ(j.at("Navigation").at("Destination_Waypoint"), "EGLM");
  EXPECT_DOUBLE_EQ(j.at("Status").at("Beacon_Frequency").get<double>(), 318.0);
}

// A multi-constellation receiver's sentences: --modern reads them all, and
// names the talker of the satellites that are not GPS.
TEST(DecodeCli, ModernReadsEveryConstellation) {
  test::TempDir dir;
  test::writeFile(dir / "log.nmea", receiver::test::nmea411Log());
  const auto classic = runProcess({cliPath(), "decode", (dir / "log.nmea").string()});
  ASSERT_EQ(classic.exitCode, 0) << classic.err;
  EXPECT_EQ(json::parse(classic.out).at("Position").at("Latitude_Degree"), 0);
  EXPECT_EQ(classic.err, "waymock-cli: 42 sentences read, 33 of them refused.\n");

  const auto modern = runProcess({cliPath(), "decode", "--modern", (dir / "log.nmea").string()});
  ASSERT_EQ(modern.exitCode, 0) << modern.err;
  EXPECT_EQ(modern.err, "waymock-cli: 42 sentences read, 0 of them refused.\n");
  const json p = json::parse(modern.out).at("Position");
  EXPECT_DOUBLE_EQ(p.at("Latitude_Raw").get<double>(), 4807.0713);
  EXPECT_EQ(p.at("Date_Year"), 2024);
  ASSERT_EQ(p.at("Satellites").size(), 11u);
  EXPECT_EQ(p.at("Satellites")[0], (json{{"PseudoRandomCode", 3},
                                         {"Elevation", 45},
                                         {"Azimuth", 120},
                                         {"SignalToNoiseRatio", 40}}));
  EXPECT_EQ(p.at("Satellites")[8], (json{{"PseudoRandomCode", 72},
                                         {"Elevation", 55},
                                         {"Azimuth", 260},
                                         {"SignalToNoiseRatio", 41},
                                         {"Talker", "GL"}}));
  EXPECT_EQ(p.at("Satellites")[10].at("Talker"), "GB");
}

TEST(DecodeCli, EventsInFiringOrderWhateverTheBlockSize) {
  test::TempDir dir;
  test::writeFile(dir / "log.nmea", kLog);
  for (const char* block : {"1", "7", "4096"}) {
    SCOPED_TRACE(block);
    const auto result = runProcess(
        {cliPath(), "decode", (dir / "log.nmea").string(), "--events", "--block", block});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> names;
    json arrival;
    for (const json& e : jsonLines(result.out)) {
      const std::string name = e.at("event");
      if (name == "OnReceive") continue;
      names.push_back(name);
      if (name == "OnArrival") arrival = e;
    }
    const std::vector<std::string> expected = {
        "OnPosition2DChange", "OnPosition3DChange",  "OnLatitudeChange", "OnLongitudeChange",
        "OnAltitudeChange",   "OnSpeedChange",       "OnHeadingChange",  "OnSatelliteReceive",
        "OnSatelliteReceive", "OnSatellitesReceive", "OnArrival"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(arrival.at("Waypoint"), "WPTNME");
    EXPECT_DOUBLE_EQ(arrival.at("CircleRadius").get<double>(), 0.1);
  }
  // One OnReceive per block; with one block it comes last.
  const auto one = runProcess({cliPath(), "decode", "--events", "-"}, kLog);
  const auto lines = jsonLines(one.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), (json{{"event", "OnReceive"}}));
  EXPECT_EQ(lines[2], (json{{"event", "OnLatitudeChange"},
                            {"Degree", 48},
                            {"Minute", 7},
                            {"Second", 2.28},
                            {"Direction", "N"}}));
}

TEST(DecodeCli, ChecksumAndSentenceOptions) {
  const std::string text = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*00\r\n" +
                           line("$GPZDA,101010,01022024,00,00");
  auto altitude = [](const std::string& out) {
    return json::parse(out).at("Position").at("Altitude").get<double>();
  };
  auto checked = runProcess({cliPath(), "decode"}, text);
  ASSERT_EQ(checked.exitCode, 0) << checked.err;
  EXPECT_EQ(altitude(checked.out), 0);
  auto unchecked = runProcess({cliPath(), "decode", "--no-checksum"}, text);
  EXPECT_DOUBLE_EQ(altitude(unchecked.out), 545.4);

  auto filtered = runProcess(
      {cliPath(), "decode", "--no-checksum", "--sentences", "gngga", "--sentences", "ZDA"}, text);
  ASSERT_EQ(filtered.exitCode, 0) << filtered.err;
  EXPECT_EQ(altitude(filtered.out), 0);
  EXPECT_EQ(json::parse(filtered.out).at("Position").at("Time_Hour"), 10);

  auto unknown = runProcess({cliPath(), "decode", "--sentences", "GPGGA,GPXYZ"}, text);
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("Unknown sentence GPXYZ"), std::string::npos) << unknown.err;
}

TEST(DecodeCli, BadInputAndArguments) {
  test::TempDir dir;
  const auto missing = runProcess({cliPath(), "decode", (dir / "none.nmea").string()});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Cannot open " + (dir / "none.nmea").string()), std::string::npos)
      << missing.err;
  EXPECT_TRUE(missing.out.empty());

  EXPECT_EQ(runProcess({cliPath(), "decode", "--block", "0"}, "").exitCode, 2);
}

// Records of nothing would read as a fix at 0 degrees; otherwise standard
// error counts what was read.
TEST(DecodeCli, SaysWhenThereIsNoNmeaAndCountsWhatItRead) {
  std::string noise;
  for (int i = 0; i < 4096; ++i) noise.push_back(static_cast<char>((i * 7919) & 0xFF));
  const std::string none =
      "waymock-cli: No NMEA in standard input: no line is a sentence with a valid checksum.\n";
  struct Case {
    std::vector<std::string> args;
    std::string input;
    int exitCode;
    std::string err;
  } const cases[] = {
      {{}, "", 1, none},
      {{"--no-checksum"}, noise, 1, none},
      {{}, "# not NMEA\r\n$GPGGA,1,2*00\r\n", 1, none},
      {{}, kLog, 0, "waymock-cli: 7 sentences read, 0 of them refused.\n"},
      {{"--sentences", "GPGGA"}, kLog, 0, "waymock-cli: 7 sentences read, 6 of them refused.\n"},
      // Checked or not, the right checksums are NMEA, even when none is wanted.
      {{"--sentences", "GPAAM"},
       line("$GPGGA,1") + "$GPZDA*00\r\n",
       0,
       "waymock-cli: 2 sentences read, 2 of them refused.\n"},
      {{"--no-checksum"},
       "$GPZDA,101010,01022024,00,00\r\n",
       0,
       "waymock-cli: 1 sentence read, 0 of them refused.\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {cliPath(), "decode"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = runProcess(args, c.input);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.input.substr(0, 20);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out.empty(), c.exitCode != 0);
  }
}

// Lines from another tool often end in LF alone.
TEST(DecodeCli, ReadsLinesEndedByLineFeedsAlone) {
  std::string bare = kLog;
  std::erase(bare, '\r');
  const auto expected = runProcess({cliPath(), "decode"}, kLog);
  ASSERT_EQ(expected.exitCode, 0) << expected.err;
  for (const char* block : {"1", "4096"}) {
    const auto r = runProcess({cliPath(), "decode", "--block", block}, bare);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected.out) << block;
  }
  // Once a CR has come, LF alone ends nothing: the framing takes the input as it is.
  const auto mixed = runProcess({cliPath(), "decode"}, line("$GPZDA,101010,01022024,00,00") +
                                                           "$GPZDA,111111,01022024,00,00*4F\n");
  ASSERT_EQ(mixed.exitCode, 0) << mixed.err;
  EXPECT_EQ(json::parse(mixed.out).at("Position").at("Time_Hour"), 10);
}

}  // namespace
}  // namespace waymock
