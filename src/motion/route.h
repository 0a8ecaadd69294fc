#pragma once

#include <chrono>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace waymock::motion {

// A time in a track: whole microseconds since 1970-01-01 UTC. Every time a file
// writes to the microsecond is kept exactly, and so is the time between two
// points (as seconds in a double, 10:00:01.1 less 10:00:00 would be
// 1.0999999 s).
using TrackTime = std::chrono::sys_time<std::chrono::microseconds>;

// Seconds as a double, for arithmetic: 1.1 s exactly as the double nearest 1.1.
inline double secondsOf(std::chrono::microseconds duration) {
  return std::chrono::duration<double>(duration).count();
}
inline double unixSecondsOf(TrackTime time) {
  return secondsOf(time.time_since_epoch());
}
// Seconds since 1970 as a track's time, to the nearest microsecond.
inline TrackTime trackTimeAt(double unixSeconds) {
  return TrackTime(std::chrono::microseconds(std::llround(unixSeconds * 1e6)));
}

// One point of a route or track. Positions are decimal degrees in the map
// convention (north and east positive), unlike the generator's signed form.
struct RoutePoint {
  double latitude = 0;             // -90..90
  double longitude = 0;            // -180..180
  std::optional<double> altitude;  // metres above the ellipsoid's mean sea level
  std::optional<TrackTime> time;   // never decreasing
};

// A polyline read from a file: a GPX track (else route, else waypoints in
// order), a KML LineString or gx:Track, a CSV table, or an NMEA log's fixes.
struct Route {
  std::string source;              // the file it came from, for messages
  std::vector<RoutePoint> points;  // at least one
  // What in the file the points are, for the user to check the reader's
  // choice: "GPX track", "GPX route", "GPX waypoints", "KML track", "KML line",
  // "KML points", "CSV table" or "NMEA log".
  std::string kind;

  bool hasTimes() const;      // every point carries a time
  bool hasAltitudes() const;  // at least one point carries an altitude
};

// Distance along the route from its first point to each point, in metres on
// the WGS-84 ellipsoid (geodesic segments): one entry per point, the first 0.
std::vector<double> cumulativeDistances(const Route& route);

// The smallest box holding every point, in decimal degrees. A route across the
// 180th meridian has `west` greater than `east` (its box spans the meridian).
struct RouteBounds {
  double south = 0;
  double west = 0;
  double north = 0;
  double east = 0;
};
RouteBounds routeBounds(const Route& route);

}  // namespace waymock::motion
