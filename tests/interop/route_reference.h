#pragma once

// Where a fix that follows a route should be, for checking what clients
// report of it.

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "motion/route.h"
#include "motion/route_reader.h"

namespace waymock::test {

inline const std::string kExampleRoute = std::string(WAYMOCK_SOURCE_DIR) + "/examples/harbour.gpx";
// The example's first time, 2024-05-01T09:30:00Z, in seconds of the day.
inline constexpr double kExampleStart = 9 * 3600 + 30 * 60;

class RouteReference {
 public:
  explicit RouteReference(const std::string& file)
      : route_(motion::readRoute(file)), along_(motion::cumulativeDistances(route_)) {}

  double length() const { return along_.back(); }

  // The point `metres` from the first, turning back at each end (as
  // --route-end reverse does).
  std::pair<double, double> at(double metres) const {
    const double span = length();
    metres = std::fmod(metres, 2 * span);
    if (metres > span) metres = 2 * span - metres;
    const auto after = std::upper_bound(along_.begin(), along_.end(), metres);
    const auto i = static_cast<std::size_t>(
        std::clamp<std::ptrdiff_t>(after - along_.begin() - 1, 0, along_.size() - 2));
    const motion::RoutePoint& a = route_.points[i];
    const motion::RoutePoint& b = route_.points[i + 1];
    double latitude = 0, longitude = 0;
    GeographicLib::Geodesic::WGS84()
        .InverseLine(a.latitude, a.longitude, b.latitude, b.longitude)
        .Position(metres - along_[i], latitude, longitude);
    return {latitude, longitude};
  }

  // Metres from (latitude, longitude) to the nearest point of the polyline, on
  // a plane tangent at the first point (good to millimetres over a harbour).
  double offRoute(double latitude, double longitude) const {
    const auto& o = route_.points.front();
    const double kx = std::cos(o.latitude * M_PI / 180) * 111320.0;
    const double ky =
        110574.0 + (111694.0 - 110574.0) * std::pow(std::sin(o.latitude * M_PI / 180), 2);
    const auto plane = [&](double lat, double lon) {
      return std::pair{(lon - o.longitude) * kx, (lat - o.latitude) * ky};
    };
    const auto [px, py] = plane(latitude, longitude);
    double nearest = 1e300;
    for (std::size_t i = 0; i + 1 < route_.points.size(); ++i) {
      const auto [ax, ay] = plane(route_.points[i].latitude, route_.points[i].longitude);
      const auto [bx, by] = plane(route_.points[i + 1].latitude, route_.points[i + 1].longitude);
      const double dx = bx - ax, dy = by - ay;
      const double t =
          std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
      nearest = std::min(nearest, std::hypot(px - ax - t * dx, py - ay - t * dy));
    }
    return nearest;
  }

 private:
  motion::Route route_;
  std::vector<double> along_;
};

}  // namespace waymock::test
