#include "motion/route.h"

#include <GeographicLib/Accumulator.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>
#include <GeographicLib/Math.hpp>
#include <algorithm>
#include <cmath>
#include <vector>

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

namespace {

// A stretch of longitudes, eastwards from `west` by `span` (0 to 360).
struct Stretch {
  double west;
  double span;
};

// The northernmost and southernmost points of a segment's geodesic that lie
// between its ends (its vertices), into the box's latitudes.
void addVertices(const GeographicLib::GeodesicLine& line, RouteBounds& bounds) {
  // Arcs from the northward equator crossing: the northern vertex at 90°, the
  // southern one at 270°.
  const double first = line.EquatorialArc();
  for (const double vertex : {90.0, 270.0}) {
    const double arc = std::fmod(std::fmod(vertex - first, 360.0) + 360.0, 360.0);
    if (arc <= 0 || arc >= line.Arc()) continue;
    double latitude = 0, longitude = 0;
    line.ArcPosition(arc, latitude, longitude);
    bounds.south = std::min(bounds.south, latitude);
    bounds.north = std::max(bounds.north, latitude);
  }
}

// The box's longitudes leave out the widest stretch of the circle that no
// point and no segment covers; a route across the 180th meridian leaves out
// the other side.
void setLongitudes(std::vector<Stretch> covered, RouteBounds& bounds) {
  // Each stretch from -180 on, one that runs past 180 cut in two.
  std::vector<std::pair<double, double>> pieces;
  for (const Stretch& s : covered) {
    double west = GeographicLib::Math::AngNormalize(s.west);
    if (west >= 180) west -= 360;
    const double east = west + s.span;
    pieces.emplace_back(west, std::min(east, 180.0));
    if (east > 180) pieces.emplace_back(-180, east - 360);
  }
  std::sort(pieces.begin(), pieces.end());
  std::vector<std::pair<double, double>> merged;
  for (const auto& piece : pieces) {
    if (!merged.empty() && piece.first <= merged.back().second) {
      merged.back().second = std::max(merged.back().second, piece.second);
    } else {
      merged.push_back(piece);
    }
  }
  bounds.west = merged.front().first;
  bounds.east = merged.back().second;
  double widestGap = merged.front().first + 360 - merged.back().second;
  for (std::size_t i = 1; i < merged.size(); ++i) {
    const double gap = merged[i].first - merged[i - 1].second;
    if (gap > widestGap) {
      widestGap = gap;
      bounds.west = merged[i].first;
      bounds.east = merged[i - 1].second;
    }
  }
  if (widestGap <= 0) {  // every longitude
    bounds.west = -180;
    bounds.east = 180;
  }
  if (bounds.west == 180) bounds.west = -180;
  if (bounds.east == -180) bounds.east = 180;
}

}  // namespace

RouteBounds routeBounds(const Route& route) {
  RouteBounds bounds;
  if (route.points.empty()) return bounds;
  const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
  std::vector<Stretch> covered;
  covered.reserve(route.points.size());
  bounds.south = bounds.north = route.points.front().latitude;
  covered.push_back({route.points.front().longitude, 0});
  for (std::size_t i = 1; i < route.points.size(); ++i) {
    const RoutePoint& a = route.points[i - 1];
    const RoutePoint& b = route.points[i];
    bounds.south = std::min(bounds.south, b.latitude);
    bounds.north = std::max(bounds.north, b.latitude);
    const GeographicLib::GeodesicLine line =
        wgs84.InverseLine(a.latitude, a.longitude, b.latitude, b.longitude,
                          GeographicLib::Geodesic::LATITUDE | GeographicLib::Geodesic::LONGITUDE);
    addVertices(line, bounds);
    // Along a geodesic the longitude runs one way, the shorter way round.
    const double east = GeographicLib::Math::AngDiff(a.longitude, b.longitude);
    covered.push_back(east >= 0 ? Stretch{a.longitude, east} : Stretch{b.longitude, -east});
  }
  setLongitudes(std::move(covered), bounds);
  return bounds;
}

}  // namespace waymock::motion
