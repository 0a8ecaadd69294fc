#include <gtest/gtest.h>
#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/LocalCartesian.hpp>

#include <cmath>
#include <nlohmann/json.hpp>
#include <numbers>
#include <string>

#include "common/test_support.h"
#include "sky/worked_almanac.h"

namespace waymock {
namespace {

using test::cliPath;
using test::runProcess;

// The worked almanac's satellite, seen from Madrid at the first worked
// time: its look angles through GeographicLib's local frame, its signal by the
// documented model, 25 + 25 sin(elevation) dB-Hz.
TEST(SkyInfoCli, ShowsTheAlmanacsSatelliteWhereGeographicLibSeesIt) {
  test::TempDir dir;
  test::writeFile(dir / "gps.alm", sky::test::kWorkedYuma);
  const auto& worked = sky::test::kWorkedPositions[0];
  double lat = 0, lon = 0, h = 0, east = 0, north = 0, up = 0;
  GeographicLib::Geocentric::WGS84().Reverse(worked.x, worked.y, worked.z, lat, lon, h);
  GeographicLib::LocalCartesian(40.42, -3.7, 650).Forward(lat, lon, h, east, north, up);
  const double elevation = std::atan2(up, std::hypot(east, north)) * 180 / std::numbers::pi;
  const double azimuth = std::fmod(std::atan2(east, north) * 180 / std::numbers::pi + 360, 360);
  const std::vector<std::string> args = {cliPath(),
                                         "sky-info",
                                         "--lat",
                                         "40.42",
                                         "--lon",
                                         "-3.7",
                                         "--alt",
                                         "650",
                                         "--utc",
                                         "2023-12-22T12:00:00Z",
                                         "--almanac",
                                         (dir / "gps.alm").string(),
                                         "--constellations",
                                         "GPS"};
  const auto text = runProcess(args, {}, std::chrono::seconds(10),
                               {std::string("LC_ALL=") + test::kDecimalCommaLocale});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  char row[128];
  std::snprintf(row, sizeof row, "GPS           7 %10.1f %8.1f %4ld  yes\n", elevation, azimuth,
                std::lround(25 + 25 * std::sin(elevation * std::numbers::pi / 180)));
  EXPECT_EQ(text.out,
            "Time:     2023-12-22T12:00:00Z\n"
            "Position: 40.420000, -3.700000, 650.0 m\n"
            "Almanac:  " +
                (dir / "gps.alm").string() +
                "\n"
                "Mask:     5 degrees, horizon open\n\n"
                "System   Number  Elevation  Azimuth  SNR  Used\n" +
                row +
                "\nIn view:  1, 1 used\n"
                "DOP:      none: no fix; it needs 4 satellites used, and one more for each "
                "system after the first\n");

  std::vector<std::string> json = args;
  json.push_back("--json");
  const auto parsed = nlohmann::json::parse(runProcess(json).out);
  EXPECT_NEAR(parsed.at("satellites").at(0).at("elevation").get<double>(), elevation, 0.006);
  EXPECT_EQ(parsed.at("gps_week"), 2293);
  EXPECT_EQ(parsed.at("fix"), false);
  EXPECT_TRUE(parsed.at("hdop").is_null());
}

TEST(SkyInfoCli, RefusesABadAlmanacOrMaskSayingWhy) {
  test::TempDir dir;
  test::writeFile(dir / "bad.alm", "ID: 1\nHealth 0\n");
  const struct {
    std::vector<std::string> options;
    int status;
    std::string message;
  } cases[] = {
      {{"--almanac", (dir / "bad.alm").string()},
       1,
       (dir / "bad.alm").string() + ": line 2 is not a field of a YUMA almanac."},
      {{"--mask", "91"},
       2,
       "--mask: \"91\" is out of range; it must be from 0 to 90.\n"
       "Run with --help for more information."},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {cliPath(), "sky-info", "--lat", "1", "--lon", "2"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto r = runProcess(args);
    EXPECT_EQ(r.exitCode, c.status);
    EXPECT_EQ(r.err, "waymock-cli: " + c.message + "\n");
  }
}

}  // namespace
}  // namespace waymock
