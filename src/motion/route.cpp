#include "motion/route.h"

#include <GeographicLib/Accumulator.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <algorithm>

namespace waymock::motion {

bool Route::hasTimes() const {
  return !points.empty() &&
         std::all_of(points.begin(), points.end(), [](const RoutePoint& p) { return p.time; });
}

bool Route::hasAltitudes() const {
  return std::any_of(points.begin(), points.end(),
                     [](const RoutePoint& p) { return p.altitude.has_value(); });
}

std::vector<double> cumulativeDistances(const Route& route) {
  const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
  std::vector<double> distances;
  distances.reserve(route.points.size());
  // An exact sum: a long route's total does not drift with its many small steps.
  GeographicLib::Accumulator<double> total;
  for (std::size_t i = 0; i < route.points.size(); ++i) {
    if (i > 0) {
      const RoutePoint& a = route.points[i - 1];
      const RoutePoint& b = route.points[i];
      double metres = 0;
      wgs84.Inverse(a.latitude, a.longitude, b.latitude, b.longitude, metres);
      total += metres;
    }
    distances.push_back(total());
  }
  return distances;
}

RouteBounds routeBounds(const Route& route) {
  RouteBounds bounds;
  if (route.points.empty()) return bounds;
  std::vector<double> longitudes;
  longitudes.reserve(route.points.size());
  bounds.south = bounds.north = route.points.front().latitude;
  for (const RoutePoint& p : route.points) {
    bounds.south = std::min(bounds.south, p.latitude);
    bounds.north = std::max(bounds.north, p.latitude);
    longitudes.push_back(p.longitude);
  }
  // The box's longitudes leave out the widest stretch of the circle that no
  // point lies in; a route across the 180th meridian leaves out the other side.
  std::sort(longitudes.begin(), longitudes.end());
  bounds.west = longitudes.front();
  bounds.east = longitudes.back();
  double widestGap = longitudes.front() + 360 - longitudes.back();
  for (std::size_t i = 1; i < longitudes.size(); ++i) {
    const double gap = longitudes[i] - longitudes[i - 1];
    if (gap > widestGap) {
      widestGap = gap;
      bounds.west = longitudes[i];
      bounds.east = longitudes[i - 1];
    }
  }
  return bounds;
}

}  // namespace waymock::motion
