// pynmea2 parses every sentence of a burst with its checksum test on and
// reads back the values the burst was made from.
#include <cmath>
#include <map>
#include <string>

#include "interop/interop_support.h"

namespace waymock::test {
namespace {

using nlohmann::json;

const std::string kPython = "/usr/bin/python3";  // the one python3-nmea2 installs into
const std::string kReader = std::string(WAYMOCK_SOURCE_DIR) + "/tests/interop/pynmea2_read.py";

struct Case {
  const char* name;
  std::vector<std::string> options;
  double latitude, longitude;  // north and east positive
  double altitude;
  const char* time;      // as pynmea2 shows the time stamp
  const char* date;      // and the RMC date
  const char* zdaDay;    // the ZDA date field, which pynmea2 takes for the day
  double knots, course;  // as the sentences carry them
  const char* magVar;
  const char* magVarDirection;
};

const Case kCases[] = {
    {"north east",
     {"--lat",         "48:07:02.28N", "--lon",         "011:31:00E",
      "--alt",         "545.4",        "--speed-knots", "22.4",
      "--heading",     "84.4",         "--mag-var",     "3.1W",
      "--mag-heading", "87.5",         "--geoid",       "46.9",
      "--hdop",        "0.9",          "--pdop",        "1.5",
      "--vdop",        "1.2",          "--utc",         "2024-03-23T12:35:19Z"},
     48.1173,
     11.516666666666667,
     545.4,
     "12:35:19",
     "2024-03-23",
     "23032024",
     22.4,
     84.4,
     "3.1",
     "W"},
    {"south west",
     {"--lat",         "33:51:24.408S",
      "--lon",         "151:12:55.044W",
      "--alt",         "-3.5",
      "--speed-knots", "0.5",
      "--heading",     "359.9",
      "--mag-var",     "12.25E",
      "--mag-heading", "2",
      "--geoid",       "-20.1",
      "--hdop",        "0.9",
      "--pdop",        "1.5",
      "--vdop",        "1.2",
      "--utc",         "2025-01-02T03:04:05.678Z"},
     -33.85678,
     -151.21529,
     -3.5,
     "03:04:05.678000",
     "2025-01-02",
     "2012025",
     0.5,
     359.9,
     "12.25",
     "E"},
};

// The number a field holds, whether pynmea2 gives it as a number or as text.
double number(const json& v) {
  return v.is_string() ? std::stod(v.get<std::string>()) : v.get<double>();
}

class Pynmea2Test : public ::testing::TestWithParam<Case> {};

TEST_P(Pynmea2Test, ParsesEverySentenceAndReadsTheValuesBack) {
  const Case& c = GetParam();
  TempDir dir;
  writeFile(dir / "satellites.ini", kSatelliteFile);
  std::vector<std::string> args = {cliPath(), "burst", "--satellites",
                                   (dir / "satellites.ini").string()};
  args.insert(args.end(), c.options.begin(), c.options.end());
  const ProcessResult burst = runProcess(args);
  ASSERT_EQ(burst.exitCode, 0) << burst.err;

  // The same GGA line with its last checksum digit changed proves that the
  // checksum test is really on.
  const std::size_t gga = burst.out.find("$GPGGA");
  ASSERT_NE(gga, std::string::npos);
  std::string broken = burst.out.substr(gga, burst.out.find("\r\n", gga) + 2 - gga);
  char& digit = broken[broken.size() - 3];
  digit = digit == '0' ? '1' : '0';

  const ProcessResult read = runProcess({kPython, kReader}, burst.out + broken);
  ASSERT_EQ(read.exitCode, 0) << "is python3-nmea2 installed? " << read.err;
  const std::vector<json> lines = jsonLines(read.out);
  ASSERT_EQ(lines.size(), 9u) << read.out;
  EXPECT_EQ(lines.back().value("error", ""), "ChecksumError") << lines.back().dump();

  std::map<std::string, std::vector<json>> byType;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    const json& m = lines[i];
    ASSERT_FALSE(m.contains("error")) << m.dump();
    EXPECT_EQ(m["talker"], "GP") << m.dump();
    byType[m["type"].get<std::string>()].push_back(m);
  }
  for (const char* type : {"ZDA", "GGA", "GLL", "VTG", "RMC", "GSA"}) {
    ASSERT_EQ(byType[type].size(), 1u) << type;
  }

  for (const char* type : {"GGA", "GLL", "RMC"}) {
    const json& m = byType[type][0];
    // Four decimals of a minute are exact to about 2e-7 degrees.
    EXPECT_NEAR(m["latitude"].get<double>(), c.latitude, 1e-9) << m.dump();
    EXPECT_NEAR(m["longitude"].get<double>(), c.longitude, 1e-9) << m.dump();
  }
  for (const char* type : {"GGA", "GLL", "RMC", "ZDA"}) {
    EXPECT_EQ(byType[type][0]["timestamp"], c.time) << byType[type][0].dump();
  }

  const json& gga0 = byType["GGA"][0];
  EXPECT_EQ(gga0["altitude"].get<double>(), c.altitude) << gga0.dump();
  EXPECT_EQ(gga0["altitude_units"], "M");
  EXPECT_EQ(gga0["gps_qual"], 1);
  EXPECT_EQ(gga0["num_sats"], "4");  // fixed, not the satellite table
  EXPECT_EQ(number(gga0["horizontal_dil"]), 0.9);

  EXPECT_EQ(byType["GLL"][0]["status"], "A");

  const json& rmc = byType["RMC"][0];
  EXPECT_EQ(rmc["status"], "A");
  EXPECT_EQ(rmc["datestamp"], c.date);
  EXPECT_DOUBLE_EQ(rmc["spd_over_grnd"].get<double>(), c.knots);
  EXPECT_DOUBLE_EQ(rmc["true_course"].get<double>(), c.course);
  EXPECT_EQ(rmc["mag_variation"], c.magVar);
  EXPECT_EQ(rmc["mag_var_dir"], c.magVarDirection);

  const json& vtg = byType["VTG"][0];
  EXPECT_DOUBLE_EQ(vtg["true_track"].get<double>(), c.course);
  EXPECT_DOUBLE_EQ(number(vtg["spd_over_grnd_kts"]), c.knots);
  // km/h as knots / 0.5397, the simulator's own factor, a little off 1.852.
  EXPECT_NEAR(number(vtg["spd_over_grnd_kmph"]), c.knots / 0.5397, 1e-9) << vtg.dump();

  const json& gsa = byType["GSA"][0];
  EXPECT_EQ(gsa["mode"], "A");
  EXPECT_EQ(gsa["mode_fix_type"], "3");
  EXPECT_EQ(number(gsa["pdop"]), 1.5);
  EXPECT_EQ(number(gsa["hdop"]), 0.9);
  EXPECT_EQ(number(gsa["vdop"]), 1.2);
  EXPECT_EQ(gsa["sv_id01"], "13");  // fixed slots

  // The one-field ZDA date does not fit pynmea2's day, month, year: it reads
  // the eight digits as the day and the zone fields as month and year, and
  // cannot make a date of them.
  const json& zda = byType["ZDA"][0];
  EXPECT_EQ(std::to_string(zda["day"].get<long long>()), c.zdaDay) << zda.dump();
  EXPECT_EQ(zda["month"], 0);
  EXPECT_EQ(zda["year"], 0);
  EXPECT_EQ(zda["datestamp"]["error"], "ValueError") << zda.dump();

  // GSV: two messages, the satellites in PRN order, the last message short.
  const auto& gsv = byType["GSV"];
  ASSERT_EQ(gsv.size(), 2u);
  std::vector<ExpectedSatellite> satellites;
  for (std::size_t i = 0; i < gsv.size(); ++i) {
    EXPECT_EQ(gsv[i]["num_messages"], "2");
    EXPECT_EQ(gsv[i]["msg_num"], std::to_string(i + 1));
    EXPECT_EQ(gsv[i]["num_sv_in_view"], "5");
    for (int g = 1; g <= 4; ++g) {
      const std::string n = std::to_string(g);
      if (gsv[i]["sv_prn_num_" + n] == "") continue;
      satellites.push_back({std::stoi(gsv[i]["sv_prn_num_" + n].get<std::string>()),
                            std::stoi(gsv[i]["elevation_deg_" + n].get<std::string>()),
                            std::stoi(gsv[i]["azimuth_" + n].get<std::string>()),
                            std::stoi(gsv[i]["snr_" + n].get<std::string>())});
    }
  }
  ASSERT_EQ(satellites.size(), kActiveSatellites.size());
  for (std::size_t i = 0; i < satellites.size(); ++i) {
    EXPECT_EQ(satellites[i].prn, kActiveSatellites[i].prn);
    EXPECT_EQ(satellites[i].elevation, kActiveSatellites[i].elevation);
    EXPECT_EQ(satellites[i].azimuth, kActiveSatellites[i].azimuth);
    EXPECT_EQ(satellites[i].snr, kActiveSatellites[i].snr);
  }
}

// The nmea41 profile with its own ZDA, the standard one: every sentence
// parses, the values come back per constellation, and pynmea2 reads the date
// from ZDA.
TEST(Pynmea2Nmea41, ParsesEverySentenceAndTheStandardZdaDate) {
  TempDir dir;
  writeFile(dir / "satellites.ini", std::string(kSatelliteFile) + kConstellationSatellites);
  const ProcessResult burst =
      runProcess({cliPath(), "burst", "--satellites", (dir / "satellites.ini").string(), "--utc",
                  "2024-03-23T12:35:19Z", "--lat", "48:07:02.28N", "--lon", "011:31:00E",
                  "--speed-knots", "22.4", "--profile", "nmea41"});
  ASSERT_EQ(burst.exitCode, 0) << burst.err;
  const ProcessResult read = runProcess({kPython, kReader}, burst.out);
  ASSERT_EQ(read.exitCode, 0) << read.err;
  const std::vector<json> lines = jsonLines(read.out);
  std::string talkers;
  std::map<std::string, std::vector<json>> byType;
  for (const json& m : lines) {
    ASSERT_FALSE(m.contains("error")) << m.dump();
    talkers += m["talker"].get<std::string>() + m["type"].get<std::string>() + " ";
    byType[m["type"].get<std::string>()].push_back(m);
  }
  EXPECT_EQ(talkers,
            "GNZDA GNGGA GNGLL GNVTG GNRMC GNGSA GNGSA GNGSA GNGSA GPGSV GPGSV GLGSV GAGSV GBGSV ");

  const json& zda = byType["ZDA"].at(0);
  EXPECT_EQ(zda["day"], 23);
  EXPECT_EQ(zda["month"], 3);
  EXPECT_EQ(zda["year"], 2024);
  EXPECT_EQ(zda["datestamp"], "2024-03-23") << zda.dump();
  EXPECT_EQ(byType["GGA"].at(0)["num_sats"], "08");  // five GPS, three others
  EXPECT_NEAR(byType["RMC"].at(0)["latitude"].get<double>(), 48.1173, 1e-9);
  EXPECT_EQ(number(byType["VTG"].at(0)["spd_over_grnd_kmph"]), 41.5);
  // The strongest first; GLONASS slot 2 is satellite 66.
  const auto& gsa = byType["GSA"];
  ASSERT_EQ(gsa.size(), 4u);
  EXPECT_EQ(gsa[0]["sv_id01"], "12");
  EXPECT_EQ(gsa[0]["sv_id05"], "19");
  EXPECT_EQ(gsa[1]["sv_id01"], "66");
  EXPECT_EQ(gsa[1]["sv_id02"], "");
  EXPECT_EQ(gsa[2]["sv_id01"], "05");
  EXPECT_EQ(gsa[3]["sv_id01"], "14");
  // pynmea2 1.15 knows no signal ID: it reads it as the PRN of a satellite
  // group after the last.
  const json& glonass = byType["GSV"].at(2);
  EXPECT_EQ(glonass["num_sv_in_view"], "02");
  EXPECT_EQ(glonass["sv_prn_num_2"], "71");
  EXPECT_EQ(glonass["snr_2"], "");  // in view, no signal
  EXPECT_EQ(glonass["sv_prn_num_3"], "1") << glonass.dump();
  EXPECT_EQ(byType["GSV"].at(3)["sv_prn_num_2"], "7");  // Galileo's E1 signal

  // The standard ZDA of the classic profile too.
  const ProcessResult classic = runProcess({cliPath(), "burst", "--utc", "2024-03-23T12:35:19Z",
                                            "--zda", "standard", "--sentences", "GPZDA"});
  const std::vector<json> zdaOnly = jsonLines(runProcess({kPython, kReader}, classic.out).out);
  ASSERT_EQ(zdaOnly.size(), 1u) << classic.out;
  EXPECT_EQ(zdaOnly[0]["talker"], "GP");
  EXPECT_EQ(zdaOnly[0]["datestamp"], "2024-03-23") << zdaOnly[0].dump();
}

INSTANTIATE_TEST_SUITE_P(Fixes, Pynmea2Test, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string name = info.param.name;
  for (char& ch : name) {
    if (ch == ' ') ch = '_';
  }
  return name;
});

}  // namespace
}  // namespace waymock::test
