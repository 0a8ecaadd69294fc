#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "common/test_support.h"
#include "receiver/receiver_test_support.h"

namespace waymock {
namespace {

using nlohmann::json;
using test::cliPath;
using test::runProcess;

const std::string kExample = std::string(WAYMOCK_SOURCE_DIR) + "/examples/harbour.gpx";

// The example a new user starts from: a dozen points of our own, each
// position to six decimals, with elevations and times.
TEST(RouteInfoCli, DescribesTheExampleRouteWhateverTheLocale) {
  const std::string gpx = test::readFile(kExample);
  const std::regex position(R"(lat="-?\d+\.\d{6}" lon="-?\d+\.\d{6}")");
  EXPECT_EQ(
      std::distance(std::sregex_iterator(gpx.begin(), gpx.end(), position), std::sregex_iterator()),
      12);
  const auto r = runProcess({cliPath(), "route-info", kExample}, {}, std::chrono::seconds(10),
                            {std::string("LC_ALL=") + test::kDecimalCommaLocale});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "File:     " + kExample +
                       "\n"
                       "Kind:     GPX track\n"
                       "Points:   12\n"
                       "Length:   3159.6 m (3.160 km)\n"
                       "Duration: 618 s (0:10:18), 2024-05-01T09:30:00Z to 2024-05-01T09:40:18Z\n"
                       "Bounds:   south 54.316850, west 10.139420, north 54.333016, east "
                       "10.167150\n");
}

TEST(RouteInfoCli, JsonWithoutTimesAndAcrossThe180thMeridian) {
  test::TempDir dir;
  test::writeFile(dir / "crossing.csv", "lat,lon\n1,179.5\n-1,-179.5\n");
  const auto r = runProcess({cliPath(), "route-info", "--json", (dir / "crossing.csv").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const json info = json::parse(r.out);
  EXPECT_EQ(info.at("file"), (dir / "crossing.csv").string());
  EXPECT_EQ(info.at("kind"), "CSV table");
  EXPECT_EQ(info.at("points"), 2);
  // python3-geographiclib: Geodesic.WGS84.Inverse(1, 179.5, -1, -179.5).
  EXPECT_NEAR(info.at("length_m").get<double>(), 247583.4420, 1e-3);
  EXPECT_TRUE(info.at("duration_s").is_null());
  EXPECT_TRUE(info.at("start_time").is_null());
  EXPECT_EQ(info.at("bounds"),
            (json{{"south", -1}, {"west", 179.5}, {"north", 1}, {"east", -179.5}}));

  const auto text = runProcess({cliPath(), "route-info", (dir / "crossing.csv").string()});
  EXPECT_NE(text.out.find("\nDuration: unknown: not every point has a time\n"), std::string::npos)
      << text.out;
}

// Times kept exactly: points 1.1 s apart (one time in Unix seconds, one in
// ISO 8601) are 1.1 s apart, in the shortest form that reads back; and a
// modern receiver's log (GN talkers) is a route too.
TEST(RouteInfoCli, DurationsAreExactAndModernLogsAreRoutes) {
  test::TempDir dir;
  test::writeFile(dir / "timed.csv",
                  "lat,lon,time\n48,11,1714557600.1\n48.001,11,"
                  "2024-05-01T10:00:01.2Z\n");
  const auto text = runProcess({cliPath(), "route-info", (dir / "timed.csv").string()});
  EXPECT_NE(text.out.find("\nDuration: 1.1 s (0:00:01), 2024-05-01T10:00:00.1Z to "
                          "2024-05-01T10:00:01.2Z\n"),
            std::string::npos)
      << text.out;
  const auto asJson = runProcess({cliPath(), "route-info", "--json", (dir / "timed.csv").string()});
  EXPECT_NE(asJson.out.find("\"duration_s\": 1.1,"), std::string::npos) << asJson.out;

  test::writeFile(dir / "modern.log", receiver::test::nmea411Log());
  const auto modern = runProcess({cliPath(), "route-info", (dir / "modern.log").string()});
  ASSERT_EQ(modern.exitCode, 0) << modern.err;
  EXPECT_NE(modern.out.find("Points:   3\n"), std::string::npos) << modern.out;
}

TEST(RouteInfoCli, AFileThatIsNoRouteEndsWithStatusOneAndSaysWhy) {
  test::TempDir dir;
  const std::string bad = (dir / "bad.gpx").string();
  test::writeFile(bad, "<gpx><wpt lat=\"91\" lon=\"0\"/></gpx>");
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {bad, bad + ": point 1 has a latitude outside -90 to 90."},
      {(dir / "none.gpx").string(),
       "Cannot find the route file " + (dir / "none.gpx").string() + "."},
  };
  for (const auto& c : cases) {
    const auto r = runProcess({cliPath(), "route-info", c.file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "waymock-cli: " + c.message + "\n");
  }
  EXPECT_EQ(runProcess({cliPath(), "route-info"}).exitCode, 2);
}

}  // namespace
}  // namespace waymock
