#include "motion/route.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "motion/route_builder.h"

namespace waymock::motion {
namespace {

Route routeOf(const std::vector<std::pair<double, double>>& positions) {
  Route route;
  for (const auto& [latitude, longitude] : positions)
    route.points.push_back({latitude, longitude, std::nullopt, std::nullopt});
  return route;
}

// The distances of GeographicLib's Python implementation (python3-geographiclib),
// Geodesic.WGS84.Inverse summed point by point: a harbour, then across the
// equator and the 180th meridian.
TEST(CumulativeDistances, AgreeWithTheReferenceToAMillimetre) {
  const Route route = routeOf({{54.321000, 10.135000},
                               {54.323500, 10.142000},
                               {54.329000, 10.140500},
                               {1.0, 179.0},
                               {-1.0, -179.0},
                               {-2.0, -178.5}});
  const std::vector<double> expected = {
      0, 533.7588, 1153.6996, 13787303.5482, 14101102.6848, 14224887.4388};
  const std::vector<double> distances = cumulativeDistances(route);
  ASSERT_EQ(distances.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(distances[i], expected[i], 1e-3);
  EXPECT_EQ(cumulativeDistances(routeOf({{10, 20}})), std::vector<double>{0});
}

TEST(RouteBounds, HoldEveryPointAndSpanThe180thMeridianWhenTheRouteCrossesIt) {
  struct Case {
    std::vector<std::pair<double, double>> positions;
    RouteBounds bounds;
  } cases[] = {
      {{{54.3, 10.2}, {54.1, 10.5}, {54.2, 10.1}}, {54.1, 10.1, 54.3, 10.5}},
      {{{1, 179}, {-1, -179}, {-2, -178.5}}, {-2, 179, 1, -178.5}},
      {{{0, -170}, {0, 170}}, {0, 170, 0, -170}},
      {{{0, -90}, {0, 0}, {0, 90}}, {0, -90, 0, 90}},
      {{{-33.5, 18.25}}, {-33.5, 18.25, -33.5, 18.25}},
  };
  for (const Case& c : cases) {
    const RouteBounds b = routeBounds(routeOf(c.positions));
    EXPECT_EQ(b.south, c.bounds.south);
    EXPECT_EQ(b.west, c.bounds.west);
    EXPECT_EQ(b.north, c.bounds.north);
    EXPECT_EQ(b.east, c.bounds.east);
  }
}

// Between its points a route follows geodesics, which pass nearer a pole than
// their ends and cover the longitudes between them. The latitudes against
// GeographicLib's Python implementation searching each geodesic; the
// longitudes by hand: each leg covers the shorter way round between its ends.
TEST(RouteBounds, HoldTheGeodesicsBetweenThePoints) {
  struct Case {
    std::vector<std::pair<double, double>> positions;
    double west, east;
  } cases[] = {
      {{{88, 0}, {88, 170}}, 0, 170},  // passes 89.83 N
      {{{-88, 10}, {-88, -160}}, -160, 10},
      // 0 to 120 and on across the 180th meridian to -120: only -120 to 0 is
      // left out.
      {{{0, 0}, {10, 120}, {0, -120}}, 0, -120},
      {{{45, -170}, {45, 170}}, 170, -170},
  };
  std::ostringstream script;
  script.precision(17);
  script << "from geographiclib.geodesic import Geodesic\nW = Geodesic.WGS84\nfor c in [";
  for (const Case& c : cases) {
    script << "[";
    for (const auto& [lat, lon] : c.positions) script << "(" << lat << "," << lon << "),";
    script << "],";
  }
  // Each leg's northernmost and southernmost latitude: the best of 1001
  // samples, then a ternary search between its neighbours.
  script << "]:\n lats = [p[0] for p in c]\n for a, b in zip(c, c[1:]):\n"
            "  l = W.InverseLine(a[0], a[1], b[0], b[1])\n"
            "  for sign in (1, -1):\n"
            "   f = lambda s: sign * l.ArcPosition(s)['lat2']\n"
            "   k = max(range(1001), key=lambda i: f(l.a13 * i / 1000))\n"
            "   lo, hi = l.a13 * max(k - 1, 0) / 1000, l.a13 * min(k + 1, 1000) / 1000\n"
            "   for _ in range(100):\n"
            "    x, y = lo + (hi - lo) / 3, hi - (hi - lo) / 3\n"
            "    lo, hi = (x, hi) if f(x) < f(y) else (lo, y)\n"
            "   lats.append(sign * f(lo))\n"
            " print(min(lats), max(lats))\n";
  const test::ProcessResult r = test::runProcess({"/usr/bin/python3", "-c", script.str()});
  ASSERT_EQ(r.exitCode, 0) << r.err << "\nThe reference needs python3-geographiclib.";
  std::istringstream reference(r.out);
  for (const Case& c : cases) {
    double south = 0, north = 0;
    ASSERT_TRUE(reference >> south >> north);
    const RouteBounds b = routeBounds(routeOf(c.positions));
    EXPECT_NEAR(b.south, south, 1e-9);
    EXPECT_NEAR(b.north, north, 1e-9);
    EXPECT_EQ(b.west, c.west);
    EXPECT_EQ(b.east, c.east);
  }
}

TEST(Route, HasTimesOnlyWhenEveryPointHasOneAndAltitudesWhenAnyHas) {
  Route route = routeOf({{1, 2}, {3, 4}});
  EXPECT_FALSE(route.hasTimes());
  EXPECT_FALSE(route.hasAltitudes());
  route.points[0].time = trackTimeAt(10);
  route.points[1].altitude = 0;
  EXPECT_FALSE(route.hasTimes());
  EXPECT_TRUE(route.hasAltitudes());
  route.points[1].time = trackTimeAt(11);
  EXPECT_TRUE(route.hasTimes());
}

TEST(IsoTime, ReadsUtcZonesFractionsAndRefusesDaysThatDoNotExist) {
  const double may1 = 1714557600;  // 2024-05-01T10:00:00Z
  const struct {
    const char* text;
    std::optional<double> seconds;
  } cases[] = {
      {"2024-05-01T10:00:00Z", may1},
      {" 2024-05-01t10:00:00z\n", may1},
      {"2024-05-01 10:00:00", may1},
      {"2024-05-01T10:00:00.25Z", may1 + 0.25},
      {"2024-05-01T12:00:00+02:00", may1},
      {"2024-05-01T04:30:00-0530", may1},
      {"1970-01-01T00:00:00Z", 0},
      {"1969-12-31T23:59:59Z", -1},
      {"2024-02-29T00:00:00Z", 1709164800},
      {"2023-02-29T00:00:00Z", std::nullopt},
      {"2024-13-01T00:00:00Z", std::nullopt},
      {"2024-05-01T24:00:00Z", std::nullopt},
      {"2024-05-01T10:00Z", std::nullopt},
      {"2024-05-01", std::nullopt},
      {"2024-05-01T10:00:00.Z", std::nullopt},
      {"2024-05-01T10:00:00+2", std::nullopt},
      {"2024-05-01T10:00:00Z junk", std::nullopt},
      {"1714557600", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseIsoTime(c.text),
              c.seconds ? std::optional(trackTimeAt(*c.seconds)) : std::nullopt)
        << c.text;
  }

  EXPECT_EQ(isoTimeText(trackTimeAt(may1)), "2024-05-01T10:00:00Z");
  EXPECT_EQ(isoTimeText(trackTimeAt(may1 + 0.25)), "2024-05-01T10:00:00.25Z");
  EXPECT_EQ(isoTimeText(trackTimeAt(-1)), "1969-12-31T23:59:59Z");
}

TEST(Decimal, ReadsWhatDataFilesWriteWhateverTheLocale) {
  const struct {
    const char* text;
    std::optional<double> value;
  } cases[] = {{"54.316850", 54.31685},
               {" -10.5 ", -10.5},
               {"+3", 3},
               {"1e2", 100},
               {"54,3", std::nullopt},
               {"nan", std::nullopt},
               {"inf", std::nullopt},
               {"", std::nullopt},
               {"+-1", std::nullopt},
               {"0x10", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(parseDecimal(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace waymock::motion
