// gpsbabel reads the log the simulator saves, and the simulator's receiver
// reads the NMEA log gpsbabel writes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "interop/interop_support.h"
#include "interop/route_reference.h"

namespace waymock::test {
namespace {

using nlohmann::json;

struct Point {
  double latitude, longitude, altitude;  // north and east positive
};

// "ddmm.mmmm" (or dddmm) and the hemisphere letter as signed decimal degrees.
double nmeaDegrees(const std::string& value, const std::string& hemisphere, int degreeDigits) {
  const double degrees = std::stod(value.substr(0, degreeDigits));
  const double minutes = std::stod(value.substr(degreeDigits));
  const double unsignedDegrees = degrees + minutes / 60.0;
  return hemisphere == "S" || hemisphere == "W" ? -unsignedDegrees : unsignedDegrees;
}

std::vector<std::string> fields(const std::string& sentence) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = sentence.find_first_of(",*", start);
    result.push_back(sentence.substr(start, comma - start));
    if (comma == std::string::npos || sentence[comma] == '*') break;
    start = comma + 1;
  }
  return result;
}

// The position of each GGA line in an NMEA text.
std::vector<Point> ggaPoints(const std::string& text) {
  std::vector<Point> points;
  for (std::size_t at = text.find("$GPGGA,"); at != std::string::npos;
       at = text.find("$GPGGA,", at + 1)) {
    const auto f = fields(text.substr(at, text.find('\n', at) - at));
    points.push_back({nmeaDegrees(f[2], f[3], 2), nmeaDegrees(f[4], f[5], 3), std::stod(f[9])});
  }
  return points;
}

std::vector<Point> gpxTrackPoints(const std::string& gpx) {
  static const std::regex trkpt(
      R"re(<trkpt lat="([-0-9.]+)" lon="([-0-9.]+)">\s*<ele>([-0-9.]+)</ele>)re");
  std::vector<Point> points;
  for (auto it = std::sregex_iterator(gpx.begin(), gpx.end(), trkpt); it != std::sregex_iterator();
       ++it) {
    points.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3])});
  }
  return points;
}

class GpsbabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gpsbabel_ = requireProgram("gpsbabel", "gpsbabel");
    if (gpsbabel_.empty()) GTEST_SKIP() << "(failed above)";
  }

  TempDir dir_;
  std::string gpsbabel_;
};

TEST_F(GpsbabelTest, ReadsTheLogOfARunAsATrack) {
  writeFile(dir_ / "satellites.ini", kSatelliteFile);
  // Steps move the fix each tick, so every track point is a different place.
  const ProcessResult run = runProcess({cliPath(),
                                        "run",
                                        "--virtual=" + (dir_ / "gps").string(),
                                        "--count",
                                        "4",
                                        "--interval",
                                        "0.05",
                                        "--lat",
                                        "33:51:24.408S",
                                        "--lon",
                                        "151:12:55.044W",
                                        "--alt",
                                        "12.5",
                                        "--lat-step",
                                        "10",
                                        "--lon-step",
                                        "20",
                                        "--speed-knots",
                                        "22.4",
                                        "--heading",
                                        "84.4",
                                        "--satellites",
                                        (dir_ / "satellites.ini").string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  writeFile(dir_ / "run.nmea", run.out);

  const ProcessResult babel =
      runProcess({gpsbabel_, "-i", "nmea", "-f", (dir_ / "run.nmea").string(), "-o", "gpx", "-F",
                  (dir_ / "run.gpx").string()});
  ASSERT_EQ(babel.exitCode, 0) << babel.err;
  const std::vector<Point> track = gpxTrackPoints(readFile(dir_ / "run.gpx"));
  const std::vector<Point> sent = ggaPoints(run.out);
  ASSERT_EQ(sent.size(), 4u) << run.out;
  ASSERT_EQ(track.size(), sent.size()) << readFile(dir_ / "run.gpx");
  EXPECT_NEAR(track[0].latitude, -33.85678, 1e-9);
  EXPECT_NEAR(track[0].longitude, -151.21529, 1e-9);
  for (std::size_t i = 0; i < track.size(); ++i) {
    // gpsbabel writes nine decimals.
    EXPECT_NEAR(track[i].latitude, sent[i].latitude, 1e-8) << i;
    EXPECT_NEAR(track[i].longitude, sent[i].longitude, 1e-8) << i;
    EXPECT_NEAR(track[i].altitude, 12.5, 1e-9) << i;
    if (i > 0) {
      EXPECT_NE(track[i].latitude, track[i - 1].latitude) << i;
    }
  }
  // gpsbabel takes the speed of a point that a GGA line started from the VTG
  // km/h field, so it carries the simulator's 0.5397 factor: 22.4 knots show
  // as 41.5045 km/h, 11.5290 m/s, not the 11.5236 m/s of 1.852 km per knot.
  static const std::regex speed(R"re(<speed>([0-9.]+)</speed>)re");
  static const std::regex course(R"re(<course>([0-9.]+)</course>)re");
  const std::string gpx = readFile(dir_ / "run.gpx");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(gpx, m, speed)) << gpx;
  EXPECT_NEAR(std::stod(m[1]), 22.4 / 0.5397 / 3.6, 1e-5);
  ASSERT_TRUE(std::regex_search(gpx, m, course)) << gpx;
  EXPECT_NEAR(std::stod(m[1]), 84.4, 1e-5);
}

// Without RMC a point takes its date from ZDA: the standard form gives it in
// either profile; the classic one-field date gives none, and so no point.
TEST_F(GpsbabelTest, TakesTheDateFromTheStandardZda) {
  struct Case {
    std::vector<std::string> options;
    std::size_t points;
  } const cases[] = {
      {{"--zda", "standard"}, 1},
      {{"--zda", "standard", "--profile", "nmea41"}, 1},
      {{}, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {cliPath(),     "burst",      "--utc", "2024-03-23T12:35:19Z",
                                     "--lat",       "48.1173",    "--lon", "11.5167",
                                     "--sentences", "GPZDA,GPGGA"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProcessResult burst = runProcess(args);
    ASSERT_EQ(burst.exitCode, 0) << burst.err;
    writeFile(dir_ / "zda.nmea", burst.out);
    const ProcessResult babel = runProcess(
        {gpsbabel_, "-i", "nmea", "-f", (dir_ / "zda.nmea").string(), "-o", "gpx", "-F", "-"});
    ASSERT_EQ(babel.exitCode, 0) << babel.err;
    std::size_t points = 0;
    for (std::size_t at = 0; (at = babel.out.find("<trkpt ", at)) != std::string::npos; ++at) {
      ++points;
    }
    EXPECT_EQ(points, c.points) << babel.out;
    EXPECT_EQ(babel.out.find("<time>2024-03-23T12:35:19Z</time>") != std::string::npos,
              c.points > 0)
        << babel.out;
  }
}

// A run in the nmea41 profile: GN talkers, the count of satellites in use
// from the table, the speed from the km/h field of one decimal.
TEST_F(GpsbabelTest, ReadsTheNmea41Profile) {
  writeFile(dir_ / "satellites.ini", std::string(kSatelliteFile) + kConstellationSatellites);
  const ProcessResult burst =
      runProcess({cliPath(), "burst", "--utc", "2024-03-23T12:35:19Z", "--lat", "48.1173", "--lon",
                  "11.5167", "--alt", "545.4", "--speed-knots", "22.4", "--heading", "84.4",
                  "--satellites", (dir_ / "satellites.ini").string(), "--profile", "nmea41"});
  ASSERT_EQ(burst.exitCode, 0) << burst.err;
  writeFile(dir_ / "nmea41.nmea", burst.out);
  const ProcessResult babel = runProcess(
      {gpsbabel_, "-i", "nmea", "-f", (dir_ / "nmea41.nmea").string(), "-o", "gpx", "-F", "-"});
  ASSERT_EQ(babel.exitCode, 0) << babel.err;
  const std::vector<Point> track = gpxTrackPoints(babel.out);
  ASSERT_EQ(track.size(), 1u) << babel.out;
  EXPECT_NEAR(track[0].latitude, 48.1173, 1e-9);
  EXPECT_NEAR(track[0].altitude, 545.4, 1e-9);
  // In use: the five GPS satellites, and one each of GLONASS (the other has no
  // signal), Galileo and BeiDou.
  EXPECT_NE(babel.out.find("<sat>8</sat>"), std::string::npos) << babel.out;
  EXPECT_NE(babel.out.find("<time>2024-03-23T12:35:19Z</time>"), std::string::npos);
  // 41.5 km/h, the knots' one decimal, over 3.6.
  EXPECT_NE(babel.out.find("<speed>11.527778</speed>"), std::string::npos) << babel.out;
}

// A track with a point in each quarter of the globe, a negative altitude and
// a longitude just west of zero.
const std::vector<Point> kTrack = {{48.1173, 11.516667, 545.4},
                                   {-33.85678, -151.21529, 12.5},
                                   {0.5, 0.25, -3},
                                   {51.4779, -0.0015, 46},
                                   {-1.25, 179.75, 0}};

std::string gpxOf(const std::vector<Point>& track) {
  std::string gpx =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"waymock-test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
      "<trk><name>test</name><trkseg>\n";
  for (std::size_t i = 0; i < track.size(); ++i) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "<trkpt lat=\"%.6f\" lon=\"%.6f\"><ele>%.1f</ele>"
                  "<time>2024-03-23T12:35:%02zuZ</time></trkpt>\n",
                  track[i].latitude, track[i].longitude, track[i].altitude, 10 + i);
    gpx += line;
  }
  return gpx + "</trkseg></trk>\n</gpx>\n";
}

class GpsbabelLogTest : public GpsbabelTest {
 protected:
  void SetUp() override {
    GpsbabelTest::SetUp();
    if (IsSkipped()) return;
    writeFile(dir_ / "track.gpx", gpxOf(kTrack));
    const ProcessResult babel =
        runProcess({gpsbabel_, "-i", "gpx", "-f", (dir_ / "track.gpx").string(), "-o", "nmea", "-F",
                    (dir_ / "track.nmea").string()});
    ASSERT_EQ(babel.exitCode, 0) << babel.err;
    log_ = readFile(dir_ / "track.nmea");
  }

  std::string log_;
};

TEST_F(GpsbabelLogTest, WritesGpTalkerLinesEndedByLfWithThreeDecimalMinutes) {
  EXPECT_EQ(log_.find('\r'), std::string::npos);
  EXPECT_EQ(std::count(log_.begin(), log_.end(), '\n'), 2 * static_cast<long>(kTrack.size()));
  EXPECT_TRUE(log_.starts_with("$GPRMC,123510.000,V,4807.038,N,01131.000,E,")) << log_;
  const std::vector<Point> points = ggaPoints(log_);
  ASSERT_EQ(points.size(), kTrack.size()) << log_;
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_NEAR(points[i].latitude, kTrack[i].latitude, 1e-5) << i;
    EXPECT_NEAR(points[i].longitude, kTrack[i].longitude, 1e-5) << i;
  }
}

// decode reads LF alone as CR LF when the input holds no CR at all, so the
// file decodes as it is; the records hold the last point.
TEST_F(GpsbabelLogTest, DecodedStraightItsLfOnlyLinesGiveThePoints) {
  const ProcessResult decode = runProcess({cliPath(), "decode", (dir_ / "track.nmea").string()});
  ASSERT_EQ(decode.exitCode, 0) << decode.err;
  EXPECT_EQ(decode.err, "waymock-cli: " + std::to_string(2 * kTrack.size()) +
                            " sentences read, 0 of them refused.\n");
  const json p = json::parse(decode.out).at("Position");
  const double lat = p["Latitude_Degree"].get<double>() + p["Latitude_Minute"].get<double>() / 60 +
                     p["Latitude_Second"].get<double>() / 3600;
  EXPECT_NEAR(p["Latitude_Direction"] == "S" ? -lat : lat, kTrack.back().latitude, 1e-5);
}

// The file replay reads the log line by line and re-joins the lines with CR
// LF, so it decodes every fix and sends it on; the echo on standard output is
// what the port got. Each delivery runs from one RMC line to the next, so the
// first (before any RMC line) holds nothing and the last fix is never sent.
TEST_F(GpsbabelLogTest, ReplayedItSendsThePointsOfTheTrack) {
  const ProcessResult replay =
      runProcess({cliPath(), "replay", "--delay", "0", "--virtual=" + (dir_ / "gps").string(),
                  (dir_ / "track.nmea").string()});
  ASSERT_EQ(replay.exitCode, 0) << replay.err;
  std::vector<std::string> bursts;
  for (std::size_t start = 0; start < replay.out.size();) {
    std::size_t end = replay.out.find("\r\n\r\n", start);
    if (end == std::string::npos) end = replay.out.size();
    bursts.push_back(replay.out.substr(start, end - start));
    start = end + 4;
  }
  ASSERT_EQ(bursts.size(), kTrack.size()) << replay.out;
  for (std::size_t i = 1; i < bursts.size(); ++i) {
    const Point& expected = kTrack[i - 1];
    const std::vector<Point> gga = ggaPoints(bursts[i]);
    ASSERT_EQ(gga.size(), 1u) << bursts[i];
    EXPECT_NEAR(gga[0].latitude, expected.latitude, 1e-5) << bursts[i];
    EXPECT_NEAR(gga[0].longitude, expected.longitude, 1e-5) << bursts[i];
    // The receiver reads a signed number as 0: the point below sea level
    // is sent at sea level.
    EXPECT_NEAR(gga[0].altitude, std::max(expected.altitude, 0.0), 1e-9) << bursts[i];

    const std::size_t at = bursts[i].find("$GPRMC,");
    ASSERT_NE(at, std::string::npos) << bursts[i];
    const auto rmc = fields(bursts[i].substr(at, bursts[i].find('\r', at) - at));
    EXPECT_EQ(rmc[2], "A");  // the simulator always reports a valid fix
    EXPECT_NEAR(nmeaDegrees(rmc[3], rmc[4], 2), expected.latitude, 1e-5) << bursts[i];
    EXPECT_NEAR(nmeaDegrees(rmc[5], rmc[6], 3), expected.longitude, 1e-5) << bursts[i];
  }
}

// Each fix of the log (its RMC and GGA lines) re-joined with CR LF, as the
// file replay does, decodes to the point of the track.
TEST_F(GpsbabelLogTest, DecodedWithCrLfLineEndsItGivesThePointsOfTheTrack) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < log_.size();) {
    const std::size_t end = log_.find('\n', start);
    lines.push_back(log_.substr(start, end - start));
    start = end == std::string::npos ? log_.size() : end + 1;
  }
  ASSERT_EQ(lines.size(), 2 * kTrack.size());
  for (std::size_t i = 0; i < kTrack.size(); ++i) {
    const std::string fix = lines[2 * i] + "\r\n" + lines[2 * i + 1] + "\r\n";
    const ProcessResult decode = runProcess({cliPath(), "decode", "-"}, fix);
    ASSERT_EQ(decode.exitCode, 0) << decode.err;
    const json records = json::parse(decode.out, nullptr, false);
    ASSERT_TRUE(records.is_object()) << decode.out;
    const json& p = records["Position"];
    const double lat = p["Latitude_Degree"].get<double>() +
                       p["Latitude_Minute"].get<double>() / 60 +
                       p["Latitude_Second"].get<double>() / 3600;
    const double lon = p["Longitude_Degree"].get<double>() +
                       p["Longitude_Minute"].get<double>() / 60 +
                       p["Longitude_Second"].get<double>() / 3600;
    EXPECT_NEAR(p["Latitude_Direction"] == "S" ? -lat : lat, kTrack[i].latitude, 1e-5) << i;
    EXPECT_NEAR(p["Longitude_Direction"] == "W" ? -lon : lon, kTrack[i].longitude, 1e-5) << i;
    // The receiver reads a signed number as 0, so the point below sea level
    // arrives at sea level.
    EXPECT_NEAR(p["Altitude"].get<double>(), std::max(kTrack[i].altitude, 0.0), 1e-9) << i;
  }
}

}  // namespace
}  // namespace waymock::test

namespace waymock::test {
namespace {

// A run along the example route, turned into a GPX track by gpsbabel, lies
// on the route: every point, and the whole way (to the end and back).
TEST_F(GpsbabelTest, ARouteRunConvertsToATrackOnTheRoute) {
  // 2000 km/h: the 3.2 km out and back in about 12 s of running.
  const ProcessResult run =
      runProcess({cliPath(), "run", "--virtual=" + (dir_ / "gps").string(), "--route",
                  kExampleRoute, "--route-speed", "2000", "--route-end", "reverse", "--count", "60",
                  "--interval", "0.2", "--no-satellites", "--sentences", "GPGGA,GPRMC"},
                 {}, std::chrono::seconds(30), {std::string("LC_ALL=") + kDecimalCommaLocale});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  writeFile(dir_ / "route.nmea", run.out);
  const ProcessResult babel =
      runProcess({gpsbabel_, "-i", "nmea", "-f", (dir_ / "route.nmea").string(), "-o", "gpx", "-F",
                  (dir_ / "route.gpx").string()});
  ASSERT_EQ(babel.exitCode, 0) << babel.err;
  const std::vector<Point> track = gpxTrackPoints(readFile(dir_ / "route.gpx"));
  ASSERT_EQ(track.size(), 60u);
  const RouteReference route(kExampleRoute);
  double farthest = 0;
  for (const Point& p : track) {
    EXPECT_LT(route.offRoute(p.latitude, p.longitude), 0.5) << p.latitude << " " << p.longitude;
    const double fromStart =
        std::hypot(p.latitude - track.front().latitude, p.longitude - track.front().longitude);
    farthest = std::max(farthest, fromStart);
  }
  // Out past the harbour mouth and back towards the quay.
  EXPECT_GT(farthest, 0.025);
  EXPECT_LT(std::hypot(track.back().latitude - track.front().latitude,
                       track.back().longitude - track.front().longitude),
            farthest / 2);
}

}  // namespace
}  // namespace waymock::test
