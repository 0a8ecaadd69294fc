// waymock-cli run with a fix that travels: a route at the track's own times,
// and speed and heading, read back from the sentences it writes.
#include <gtest/gtest.h>
#include <GeographicLib/Rhumb.hpp>

#include <cmath>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "support/datetime.h"

namespace waymock {
namespace {

using test::cliPath;
using test::runProcess;

const std::string kLocale = std::string("LC_ALL=") + test::kDecimalCommaLocale;

struct Rmc {
  double seconds;  // of the day
  double latitude, longitude, knots, course;
};

// The RMC sentences of the bursts on standard output.
std::vector<Rmc> rmcSentences(const std::string& out) {
  std::vector<Rmc> result;
  for (std::size_t at = 0; (at = out.find("$GPRMC,", at)) != std::string::npos; ++at) {
    std::vector<std::string> f;
    std::size_t start = at;
    for (int i = 0; i < 9; ++i) {
      const std::size_t comma = out.find(',', start);
      f.push_back(out.substr(start, comma - start));
      start = comma + 1;
    }
    const auto degrees = [](const std::string& t, int width, const std::string& letter) {
      const double v = std::stod(t.substr(0, width)) + std::stod(t.substr(width)) / 60;
      return letter == "S" || letter == "W" ? -v : v;
    };
    const double time = std::stod(f[1].substr(0, 2)) * 3600 + std::stod(f[1].substr(2, 2)) * 60 +
                        std::stod(f[1].substr(4));
    result.push_back(
        {time, degrees(f[3], 2, f[4]), degrees(f[5], 3, f[6]), std::stod(f[7]), std::stod(f[8])});
  }
  return result;
}

// A ten-thousandth of a minute, the printed resolution of a position.
constexpr double kPrintedDegrees = 0.0001 / 60;

TEST(RunMotionCli, ATrackReplaysAtItsOwnTimesWithItsStop) {
  test::TempDir dir;
  // North along a meridian: 0.001 degrees in 10 s, 10 s standing, 0.001 in 10 s.
  test::writeFile(dir / "drive.csv",
                  "lat,lon,time\n54.000,10,2024-05-01T09:30:00Z\n54.001,10,2024-05-01T09:30:10Z\n"
                  "54.001,10,2024-05-01T09:30:20Z\n54.002,10,2024-05-01T09:30:30Z\n");
  const auto r =
      runProcess({cliPath(), "run", "--route", (dir / "drive.csv").string(), "--route-time",
                  "--rate", "10", "--use-track-time", "--interval", "0.1", "--count", "40",
                  "--sentences", "GPRMC", "--virtual=" + (dir / "gps").string()},
                 {}, std::chrono::seconds(20), {kLocale});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<Rmc> sent = rmcSentences(r.out);
  ASSERT_EQ(sent.size(), 40u);
  constexpr double kStart = 9 * 3600 + 30 * 60;
  // 0.001 degrees of latitude at 54 N (111.31 m) in 10 s by the track's own
  // time, which the sentences carry (played 10 times faster).
  constexpr double kMetresPerSecond = 11.131;
  EXPECT_EQ(sent.front().seconds, kStart);
  int stopped = 0;
  for (const Rmc& s : sent) {
    const double t = std::min(s.seconds - kStart, 30.0);
    const double latitude = 54 + 0.0001 * (t < 10 ? t : t < 20 ? 10 : t - 10);
    EXPECT_NEAR(s.latitude, latitude, kPrintedDegrees) << t;
    EXPECT_EQ(s.longitude, 10) << t;
    const bool moving = (t > 0.01 && t < 9.99) || (t > 20.01 && t < 29.99);
    if (moving) {
      EXPECT_NEAR(s.knots, kMetresPerSecond * 3600 / 1852, 0.01) << t;
    }
    if (t > 10.01 && t < 19.99) {
      ++stopped;
      EXPECT_EQ(s.knots, 0) << t;
    }
    if (t > 30) {
      EXPECT_EQ(s.knots, 0) << t;  // stopped at the end
    }
  }
  EXPECT_GE(stopped, 5);
}

TEST(RunMotionCli, SpeedAndHeadingCrossesTheEquatorAndThe180thMeridian) {
  test::TempDir dir;
  const auto r =
      runProcess({cliPath(), "run", "--move", "speed-heading", "--speed", "36", "--heading", "135",
                  "--lat", "0.00004", "--lon", "179.99996", "--interval", "0.2", "--count", "8",
                  "--sentences", "GPRMC", "--virtual=" + (dir / "gps").string()},
                 {}, std::chrono::seconds(20), {kLocale});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<Rmc> sent = rmcSentences(r.out);
  ASSERT_EQ(sent.size(), 8u);
  const GeographicLib::Rhumb& rhumb = GeographicLib::Rhumb::WGS84();
  for (const Rmc& s : sent) {
    // 10 m/s from the first burst's time, to the sentences' resolution and a
    // few milliseconds between reading the clocks.
    const double metres = 10 * (s.seconds - sent.front().seconds);
    double latitude = 0, longitude = 0;
    rhumb.Direct(0.00004, 179.99996, 135, metres, latitude, longitude);
    EXPECT_NEAR(s.latitude, latitude, kPrintedDegrees + 3e-7) << metres;
    EXPECT_NEAR(s.longitude, longitude, kPrintedDegrees + 3e-7) << metres;
    EXPECT_NEAR(s.knots, 36 / 1.852, 0.005);
    EXPECT_EQ(s.course, 135);
  }
  EXPECT_LT(sent.back().latitude, 0);
  EXPECT_LT(sent.back().longitude, 0);
}

// The track's own date in the sentences, in every year a route may name.
TEST(RunMotionCli, TrackTimesOfAnyFourDigitYearReachTheSentences) {
  test::TempDir dir;
  for (const std::string year : {"0000", "1600", "2263", "9999"}) {
    SCOPED_TRACE(year);
    const auto route = dir / (year + ".csv");
    test::writeFile(route, "lat,lon,time\n0,0," + year + "-12-31T23:59:58.25Z\n0,0.001," + year +
                               "-12-31T23:59:59Z\n");
    const auto r = runProcess(
        {cliPath(), "run", "--route", route.string(), "--route-time", "--use-track-time", "--count",
         "1", "--sentences", "GPZDA,GPRMC", "--virtual=" + (dir / "gps").string()},
        {}, std::chrono::seconds(10), {kLocale});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("$GPZDA,235958.250,3112" + year + ",00,00*"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(",3112" + year.substr(2) + ",0,W,A*"), std::string::npos) << r.out;
  }
}

TEST(RunMotionCli, SaysWhatIsWrongWithTheMotionOptions) {
  test::TempDir dir;
  const std::string plain = (dir / "plain.csv").string();
  test::writeFile(plain, "54.3,10.1\n54.4,10.2\n");
  const std::string high = (dir / "high.csv").string();
  test::writeFile(high, "54.3,10.1\n54.4,10.2,1e18\n");
  // 0.001 degrees of latitude at the equator a second: a (1 - e^2) x 0.001 x
  // pi / 180 = 110.574 m/s, 398.07 km/h.
  const std::string timed = (dir / "timed.csv").string();
  test::writeFile(timed, "lat,lon,time\n0,0,0\n0.001,0,1\n");
  const std::string port = "--virtual=" + (dir / "gps").string();
  const std::string help = "\nRun with --help for more information.\n";
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  } cases[] = {
      {{"--route", plain}, 2, "waymock-cli: --route needs --route-speed KMH or --route-time.\n"},
      {{"--route", plain, "--route-speed", "0"},
       2,
       "waymock-cli: --route-speed must be more than 0 km/h.\n"},
      {{"--route", plain, "--route-time", "--rate", "-1"},
       2,
       "waymock-cli: --rate must be more than 0.\n"},
      // Nothing beyond what a fix may carry: 10000 km/h, 100000 m, no
      // exponent in a sentence.
      {{"--route", plain, "--route-speed", "20000"},
       2,
       "waymock-cli: --route-speed must be at most 10000 km/h.\n"},
      {{"--move", "speed-heading", "--speed", "1e300"},
       2,
       "waymock-cli: --speed: \"1e300\" is out of range; it must be from 0 to 10000." + help},
      {{"--alt", "-1000.5"},
       2,
       "waymock-cli: --alt: \"-1000.5\" is out of range; it must be from -1000 to 100000." + help},
      {{"--move", "speed-heading", "--noise", "1e9"},
       2,
       "waymock-cli: --noise: \"1e9\" is out of range; it must be from 0 to 10000." + help},
      {{"--route", high, "--route-speed", "5"},
       1,
       "waymock-cli: " + high + ": line 2 has an altitude outside -1000 to 100000 m.\n"},
      {{"--route", timed, "--route-time", "--rate", "26"},
       1,
       "waymock-cli: " + timed +
           ": from point 1 to point 2 the track goes 10349.8 km/h at the rate 26, faster than "
           "10000 km/h.\n"},
      {{"--route", plain, "--route-time"},
       1,
       "waymock-cli: " + plain + ": the points carry no times to follow.\n"},
      {{"--route", plain, "--route-speed", "5", "--use-track-time"},
       1,
       "waymock-cli: " + plain + ": the points carry no times for the sentences.\n"},
      {{"--route", (dir / "none.gpx").string(), "--route-speed", "5"},
       1,
       "waymock-cli: Cannot find the route file " + (dir / "none.gpx").string() + ".\n"},
      {{"--route-speed", "5"}, 2, "waymock-cli: --route-speed requires --route" + help},
      {{"--route", plain, "--route-speed", "5", "--route-time"},
       2,
       "waymock-cli: --route-speed excludes --route-time" + help},
      {{"--route", plain, "--route-speed", "5", "--rate", "2"},
       2,
       "waymock-cli: --rate requires --route-time" + help},
      {{"--route", plain, "--route-speed", "5", "--route-end", "back"},
       2,
       "waymock-cli: --route-end: \"back\" is not a route end; use stop, loop or reverse." + help},
      {{"--route", plain, "--move", "speed-heading"},
       2,
       "waymock-cli: --route excludes --move" + help},
      {{"--move", "drift"},
       2,
       "waymock-cli: --move: \"drift\" is not a way to move; use steps or speed-heading." + help},
      {{"--geodesic"}, 2, "waymock-cli: --geodesic requires --move" + help},
      {{"--move", "steps", "--geodesic"},
       2,
       "waymock-cli: --geodesic applies only with --move speed-heading.\n"},
      {{"--noise", "3"},
       2,
       "waymock-cli: --noise applies only with --route or --move speed-heading.\n"},
      {{"--move", "speed-heading", "--seed", "4"},
       2,
       "waymock-cli: --seed requires --noise" + help},
      {{"--route", plain, "--route-time", "--use-track-time", "--utc", "2024-03-23T12:35:19Z"},
       2,
       "waymock-cli: --utc excludes --use-track-time" + help},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {cliPath(), "run", port, "--count", "1"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = runProcess(args, {}, std::chrono::seconds(10), {kLocale});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "") << c.err;
  }
}

}  // namespace
}  // namespace waymock
