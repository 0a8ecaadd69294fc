// GPX: the points of every track segment in order; a file without tracks gives
// its routes' points, and one with neither its waypoints.
#include "motion/xml_route.h"

namespace waymock::motion {

namespace {

enum class Kind { track, route, waypoints };

// Calls `visit` with each point element of the kind, in document order.
template <typename Visit>
void forEachPoint(const pugi::xml_node& gpx, Kind kind, Visit&& visit) {
  for (const pugi::xml_node& outer : gpx.children()) {
    if (kind == Kind::waypoints) {
      if (isElement(outer, "wpt")) visit(outer);
    } else if (kind == Kind::route) {
      if (!isElement(outer, "rte")) continue;
      for (const pugi::xml_node& point : outer.children())
        if (isElement(point, "rtept")) visit(point);
    } else if (isElement(outer, "trk")) {
      for (const pugi::xml_node& segment : outer.children()) {
        if (!isElement(segment, "trkseg")) continue;
        for (const pugi::xml_node& point : segment.children())
          if (isElement(point, "trkpt")) visit(point);
      }
    }
  }
}

std::size_t countPoints(const pugi::xml_node& gpx, Kind kind) {
  std::size_t count = 0;
  forEachPoint(gpx, kind, [&count](const pugi::xml_node&) { ++count; });
  return count;
}

}  // namespace

Route readGpx(const pugi::xml_node& gpx, RouteBuilder& builder) {
  static constexpr struct {
    Kind kind;
    const char* name;
  } kKinds[] = {
      {Kind::track, "GPX track"}, {Kind::route, "GPX route"}, {Kind::waypoints, "GPX waypoints"}};
  for (const auto& [kind, name] : kKinds) {
    const std::size_t count = countPoints(gpx, kind);
    if (count == 0) continue;
    // Reserved exactly: a doubling vector would hold half again as much.
    builder.reserve(count);
    std::size_t number = 0;
    forEachPoint(gpx, kind, [&builder, &number](const pugi::xml_node& element) {
      ++number;
      RoutePoint point;
      point.latitude = builder.latitude(element.attribute("lat").value(), number);
      point.longitude = builder.longitude(element.attribute("lon").value(), number);
      for (const pugi::xml_node& child : element.children()) {
        if (isElement(child, "ele"))
          point.altitude = builder.altitude(child.child_value(), number);
        else if (isElement(child, "time"))
          point.time = builder.time(child.child_value(), number);
      }
      builder.add(point, number);
    });
    return builder.finish(name, "");
  }
  builder.failFile("no points: the GPX file has no trkpt, rtept or wpt element.");
}

}  // namespace waymock::motion
