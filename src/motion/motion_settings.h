#pragma once

// The motion a user chose, as the window's Advanced page and the command line
// hold it, and the motion object made from it.

#include <cstdint>
#include <memory>
#include <string>

#include "motion/motion.h"
#include "motion/route_motion.h"

namespace waymock::motion {

enum class MotionModel {
  steps,         // the fixed arc-second steps: no motion object
  speedHeading,  // dead reckoning from the start position
  route,         // following a route or track from a file
};

struct MotionSettings {
  MotionModel model = MotionModel::steps;

  // Speed and heading: its inputs, and whether it keeps the heading (a rhumb
  // line) or goes along the great circle.
  double speedKmh = 0;
  double heading = 0;  // degrees true, 0 up to 360
  bool geodesic = false;

  // Route: the file, and either a speed or the track's own times at a rate.
  std::string routeFile;
  bool trackTime = false;
  double routeSpeedKmh = 0;  // without track time; more than 0
  double rate = 1;           // with track time; more than 0
  RouteEnd end = RouteEnd::stop;
  // The sentences carry the track's date and time instead of the clock's.
  bool useTrackTime = false;

  // A random error on the reported position, typically this many metres;
  // 0 for none. The same seed gives the same errors.
  double noiseMetres = 0;
  std::uint64_t seed = 0;
};

// The motion the settings describe, at `start` for speed and heading; null
// for steps. Reads the route file. Throws Error (IoError for the file) with a
// message that names the file and the problem: "harbour.csv: the points carry
// no times to follow."
std::unique_ptr<Motion> makeMotion(const MotionSettings& settings, const GeoPoint& start);

}  // namespace waymock::motion
