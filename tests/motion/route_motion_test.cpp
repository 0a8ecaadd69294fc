#include "motion/route_motion.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/test_support.h"
#include "motion/motion_settings.h"
#include "support/error.h"

namespace waymock::motion {
namespace {

RoutePoint pointAt(double latitude, double longitude, std::optional<double> time = std::nullopt,
                   std::optional<double> altitude = std::nullopt) {
  return {latitude, longitude, altitude, time ? std::optional(trackTimeAt(*time)) : std::nullopt};
}

// Two segments east along the equator, 0.01 degrees each.
Route equatorRoute() {
  Route route;
  route.source = "equator.csv";
  route.points = {pointAt(0, 0, 0, 10), pointAt(0, 0.01, 0, 20), pointAt(0, 0.02, 0, 40)};
  return route;
}

TEST(RouteMotion, StopsLoopsOrTurnsBackAtTheEnd) {
  const double length = cumulativeDistances(equatorRoute()).back();  // about 2226 m
  struct Case {
    RouteEnd end;
    std::vector<double> seconds;  // advances at 100 m/s
    double done;
    double course;
    double speed;
  } cases[] = {
      {RouteEnd::stop, {30}, length, 90, 0},
      {RouteEnd::stop, {10, 10, 10}, length, 90, 0},
      {RouteEnd::loop, {30}, 3000 - length, 90, 100},
      {RouteEnd::loop, {10, 10, 10, 10, 10}, 5000 - 2 * length, 90, 100},
      {RouteEnd::reverse, {30}, 2 * length - 3000, 270, 100},
      {RouteEnd::reverse, {50}, 5000 - 2 * length, 90, 100},
      {RouteEnd::reverse, {20, 20, 10}, 5000 - 2 * length, 90, 100},
      {RouteEnd::reverse, {70}, 4 * length - 7000, 270, 100},
  };
  for (const Case& c : cases) {
    RouteMotion motion(equatorRoute(), {false, 100, 1}, c.end, false);
    for (double s : c.seconds) motion.advance(s);
    const auto end = static_cast<int>(c.end);
    EXPECT_NEAR(motion.progress().done, c.done, 1e-6) << end;
    EXPECT_NEAR(motion.fix().course, c.course, 1e-9) << end;
    EXPECT_EQ(motion.fix().speed, c.speed) << end;
    EXPECT_EQ(motion.fix().position.latitude, 0) << end;
  }
}

TEST(RouteMotion, InterpolatesAltitudeAndSaysWhatIsLeft) {
  RouteMotion motion(equatorRoute(), {false, 100, 1}, RouteEnd::reverse, false);
  const double half = cumulativeDistances(equatorRoute())[1] / 2;
  motion.advance(half / 100);
  EXPECT_NEAR(*motion.fix().altitude, 15, 1e-9);
  EXPECT_NEAR(motion.fix().position.longitude, 0.005, 1e-12);
  EXPECT_NEAR(*motion.progress().total, 4 * half, 1e-6);
  EXPECT_NEAR(*motion.progress().secondsLeft, 3 * half / 100, 1e-9);
  // Jumping keeps the way it goes; on the way back, what is left is the way back.
  motion.jumpTo(3 * half);
  EXPECT_NEAR(*motion.fix().altitude, 30, 1e-9);
  motion.advance(2 * half / 100);
  EXPECT_NEAR(motion.progress().done, 3 * half, 1e-6);
  EXPECT_NEAR(*motion.progress().secondsLeft, 3 * half / 100, 1e-9);
  // Start and Stop bring it back to the first point, going out.
  motion.restart({});
  EXPECT_EQ(motion.progress().done, 0);
  EXPECT_EQ(motion.fix().course, 90);
}

// A drive of 100 s with a stop of 20 s after its first segment.
Route trackWithStop() {
  Route route;
  route.source = "drive.gpx";
  route.points = {pointAt(0, 0, 1000), pointAt(0, 0.001, 1030), pointAt(0, 0.001, 1050),
                  pointAt(0.001, 0.001, 1100)};
  return route;
}

TEST(RouteMotion, TrackTimeKeepsTheRecordedSpeedsAndStops) {
  const std::vector<double> d = cumulativeDistances(trackWithStop());
  // The first leg runs 0.001 degrees along the equator in 30 s: a × 0.001 ×
  // pi / 180 = 111.3195 m, 3.710650 m/s by the track's own clock.
  EXPECT_NEAR(d[1] / 30, 3.710650, 1e-6);
  struct Case {
    double rate;
    bool carry;      // the sentences carry the track's time
    double seconds;  // running time
    double done;
    double speed;
    double course;
  } cases[] = {
      {1, true, 15, d[1] / 2, d[1] / 30, 90},
      {1, true, 30, d[1], 0, 90},  // the stop begins
      {1, true, 45, d[1], 0, 90},
      {1, true, 75, d[1] + (d[3] - d[2]) / 2, (d[3] - d[2]) / 50, 0},
      {1, true, 200, d[3], 0, 0},
      // The speed agrees with the clock the sentences carry: the track's, or
      // the wall clock's, on which the track goes the rate faster.
      {2, true, 7.5, d[1] / 2, d[1] / 30, 90},
      {60, true, 0.25, d[1] / 2, d[1] / 30, 90},
      {2, false, 7.5, d[1] / 2, d[1] / 30 * 2, 90},
      {10, true, 4.5, d[1], 0, 90},
  };
  for (const Case& c : cases) {
    RouteMotion motion(trackWithStop(), {true, 0, c.rate}, RouteEnd::stop, c.carry);
    motion.advance(c.seconds);
    EXPECT_NEAR(motion.progress().done, c.done, 1e-6) << c.rate << " " << c.seconds;
    EXPECT_NEAR(motion.fix().speed, c.speed, 1e-9) << c.rate << " " << c.seconds;
    EXPECT_NEAR(motion.fix().course, c.course, 1e-6) << c.rate << " " << c.seconds;
    // The carried time runs from the first point's at the rate.
    if (c.carry) {
      EXPECT_EQ(*motion.fix().time, 1000 + c.seconds * c.rate);
    }
  }
  // A jump to the stop's place enters it at its beginning.
  RouteMotion motion(trackWithStop(), {true, 0, 1}, RouteEnd::stop, false);
  motion.jumpTo(d[1]);
  motion.advance(19);
  EXPECT_NEAR(motion.progress().done, d[1], 1e-9);
  EXPECT_EQ(motion.fix().time, std::nullopt);
  EXPECT_NEAR(*motion.progress().secondsLeft, 51, 1e-9);
}

// Three points at one place: the fix stands there, at speed 0, however the
// route ends and whatever speed it is followed at.
TEST(RouteMotion, ARouteWithoutLengthStandsStillAtSpeedZero) {
  Route still;
  still.points = {pointAt(54.3, 10.1), pointAt(54.3, 10.1), pointAt(54.3, 10.1)};
  for (const RouteEnd end : {RouteEnd::stop, RouteEnd::loop, RouteEnd::reverse}) {
    RouteMotion motion(still, {false, 10, 1}, end, false);
    motion.advance(5);
    EXPECT_EQ(motion.fix().speed, 0);
    EXPECT_EQ(motion.fix().position.latitude, 54.3);
    EXPECT_EQ(motion.fix().position.longitude, 10.1);
  }
}

TEST(MakeMotion, SaysWhySettingsCannotMove) {
  test::TempDir dir;
  const std::string plain = (dir / "plain.csv").string();
  const std::string still = (dir / "still.csv").string();
  test::writeFile(plain, "54.3,10.1\n54.4,10.2\n");
  test::writeFile(still, "54.3,10.1,,2024-05-01T09:30:00Z\n54.4,10.2,,2024-05-01T09:30:00Z\n");
  MotionSettings route;
  route.model = MotionModel::route;
  route.routeFile = plain;
  route.routeSpeedKmh = 20;
  EXPECT_NE(makeMotion(route, {}), nullptr);
  struct Case {
    std::function<void(MotionSettings&)> change;
    std::string message;
  } cases[] = {
      {[](MotionSettings& s) { s.routeSpeedKmh = 0; }, "The route speed must be more than 0 km/h."},
      {[](MotionSettings& s) { s.trackTime = true; },
       plain + ": the points carry no times to follow."},
      {[](MotionSettings& s) { s.useTrackTime = true; },
       plain + ": the points carry no times for the sentences."},
      {[&](MotionSettings& s) {
         s.routeFile = still;
         s.trackTime = true;
       },
       still + ": the track's times do not advance."},
      {[](MotionSettings& s) {
         s.trackTime = true;
         s.rate = 0;
       },
       "The rate must be more than 0."},
      {[](MotionSettings& s) { s.noiseMetres = -1; }, "The noise must be 0 metres or more."},
      {[&](MotionSettings& s) { s.routeFile = (dir / "none.gpx").string(); },
       "Cannot find the route file " + (dir / "none.gpx").string() + "."},
      {[](MotionSettings& s) {
         s.model = MotionModel::speedHeading;
         s.heading = 360;
       },
       "Heading must be between 0 and 360."},
  };
  for (const Case& c : cases) {
    MotionSettings s = route;
    c.change(s);
    try {
      makeMotion(s, {});
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  EXPECT_EQ(makeMotion(MotionSettings{}, {}), nullptr);  // the steps
}

}  // namespace
}  // namespace waymock::motion
