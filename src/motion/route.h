#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace waymock::motion {

// One point of a route or track. Positions are decimal degrees in the map
// convention (north and east positive), unlike the generator's signed form.
struct RoutePoint {
  double latitude = 0;             // -90..90
  double longitude = 0;            // -180..180
  std::optional<double> altitude;  // metres above the ellipsoid's mean sea level
  std::optional<double> time;      // seconds since 1970-01-01 UTC, never decreasing
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
