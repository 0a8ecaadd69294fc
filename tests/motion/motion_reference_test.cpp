// The motions' positions against an independent implementation of the same
// geodesy: GeographicLib's Python port, run as a child process.
#include <gtest/gtest.h>
#include <GeographicLib/Geodesic.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "motion/route_motion.h"
#include "motion/speed_heading_motion.h"

namespace waymock::motion {
namespace {

struct Reference {
  double latitude, longitude, azimuth;
};

// Runs `script` (which prints "lat lon azimuth" a line) after the imports.
std::vector<Reference> pythonReference(const std::string& script) {
  const auto r = test::runProcess(
      {"/usr/bin/python3", "-c",
       "from geographiclib.geodesic import Geodesic\nimport math\nW = Geodesic.WGS84\n" + script});
  EXPECT_EQ(r.exitCode, 0) << r.err << "\nThe reference needs the Debian package "
                           << "python3-geographiclib.";
  std::vector<Reference> result;
  std::istringstream lines(r.out);
  Reference ref{};
  while (lines >> ref.latitude >> ref.longitude >> ref.azimuth) result.push_back(ref);
  return result;
}

double metresBetween(const GeoPoint& a, const Reference& b) {
  double metres = 0;
  GeographicLib::Geodesic::WGS84().Inverse(a.latitude, a.longitude, b.latitude, b.longitude,
                                           metres);
  return metres;
}

double courseDifference(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 360.0);
  return std::min(d, 360 - d);
}

// A harbour, then a long leg across the equator and the 180th meridian, and a
// short one beyond.
const std::vector<std::pair<double, double>> kRoute = {{54.321, 10.135},  {54.3235, 10.142},
                                                       {54.329, 10.1405}, {1.0, 179.0},
                                                       {-1.0, -179.0},    {-2.0, -178.5}};
const std::vector<double> kAlong = {0, 250, 633.7588, 5e6, 13787303.5482 + 150000, 14224887.0};

TEST(MotionReference, RoutePositionsAgreeToAMillimetre) {
  std::ostringstream script;
  script.precision(17);
  script << "P = [";
  Route route;
  for (const auto& [lat, lon] : kRoute) {
    script << "(" << lat << "," << lon << "),";
    route.points.push_back({lat, lon, std::nullopt, std::nullopt});
  }
  script << "]\nD = [";
  for (double d : kAlong) script << d << ",";
  script << "]\n"
            "cum = [0.0]\n"
            "for a, b in zip(P, P[1:]): cum.append(cum[-1] + W.Inverse(*a, *b)['s12'])\n"
            "for d in D:\n"
            "  i = max(k for k in range(len(P) - 1) if cum[k] <= d)\n"
            "  r = W.InverseLine(*P[i], *P[i + 1]).Position(d - cum[i])\n"
            "  print(repr(r['lat2']), repr(r['lon2']), repr(r['azi2']))\n";
  const std::vector<Reference> expected = pythonReference(script.str());
  ASSERT_EQ(expected.size(), kAlong.size());
  // One metre a second, so the running time is the distance.
  RouteMotion motion(route, {false, 1.0, 1}, RouteEnd::stop, false);
  double at = 0;
  for (std::size_t i = 0; i < kAlong.size(); ++i) {
    motion.advance(kAlong[i] - at);
    at = kAlong[i];
    EXPECT_LT(metresBetween(motion.fix().position, expected[i]), 1e-3) << "at " << at << " m";
    EXPECT_LT(courseDifference(motion.fix().course, expected[i].azimuth), 1e-9) << at;
    EXPECT_NEAR(motion.progress().done, at, 1e-6);
  }
}

TEST(MotionReference, GeodesicAndRhumbPositionsAgreeToAMillimetre) {
  // Geodesic from just north of the equator and west of the 180th meridian,
  // south-east across both. Rhumb lines along a meridian are its geodesic; along
  // the equator and a parallel, arcs of the circle of radius N cos(latitude).
  struct Case {
    GeoPoint start;
    double heading;
    bool geodesic;
    const char* reference;  // the position at distance s
  } cases[] = {
      {{0.5, 179.5}, 135, true, "r = W.Line(0.5, 179.5, 135).Position(s)"},
      {{-0.01, 10}, 0, false, "r = W.Direct(-0.01, 10, 0, s)"},
      {{0.2, -170}, 180, false, "r = W.Direct(0.2, -170, 180, s)"},
      {{30, 179.9},
       90,
       false,
       "p = math.radians(30); N = W.a / math.sqrt(1 - W.f * (2 - W.f) * math.sin(p) ** 2)\n"
       "  lon = 179.9 + math.degrees(s / (N * math.cos(p)))\n"
       "  r = {'lat2': 30.0, 'lon2': (lon + 180) % 360 - 180, 'azi2': 90.0}"},
      {{0, -179.95},
       270,
       false,
       "lon = -179.95 - math.degrees(s / W.a)\n"
       "  r = {'lat2': 0.0, 'lon2': (lon + 180) % 360 - 180, 'azi2': 270.0}"},
  };
  const std::vector<double> distances = {0, 1000, 55000.5, 160000};
  for (const Case& c : cases) {
    std::ostringstream script;
    script.precision(17);
    script << "for s in [0, 1000, 55000.5, 160000]:\n  " << c.reference
           << "\n  print(repr(r['lat2']), repr(r['lon2']), repr(r['azi2']))\n";
    const std::vector<Reference> expected = pythonReference(script.str());
    ASSERT_EQ(expected.size(), distances.size()) << c.reference;
    // 10 m/s: each advance is a tenth of the distance in seconds.
    SpeedHeadingMotion motion(c.start, 10, c.heading, c.geodesic);
    double at = 0;
    for (std::size_t i = 0; i < distances.size(); ++i) {
      motion.advance((distances[i] - at) / 10);
      at = distances[i];
      EXPECT_LT(metresBetween(motion.fix().position, expected[i]), 1e-3)
          << c.reference << " at " << at;
      EXPECT_LT(courseDifference(motion.fix().course, expected[i].azimuth), 1e-9) << c.reference;
    }
  }
}

}  // namespace
}  // namespace waymock::motion
