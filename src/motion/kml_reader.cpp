// KML: the points of every gx:Track in order, each with its <when>; a file
// without tracks gives its LineStrings' coordinates, and one with neither its
// Points.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "motion/xml_route.h"
#include "support/shown_text.h"

namespace waymock::motion {

namespace {

// The elements a route can come from, in document order.
struct Geometry : pugi::xml_tree_walker {
  std::vector<pugi::xml_node> tracks;
  std::vector<pugi::xml_node> lines;
  std::vector<pugi::xml_node> points;

  bool for_each(pugi::xml_node& node) override {
    if (isElement(node, "Track"))
      tracks.push_back(node);
    else if (isElement(node, "LineString"))
      lines.push_back(node);
    else if (isElement(node, "Point"))
      points.push_back(node);
    return true;
  }
};

// Calls `visit` with each blank-separated word of `text`.
template <typename Visit>
void forEachWord(std::string_view text, Visit&& visit) {
  constexpr std::string_view kBlanks = " \t\r\n";
  for (std::size_t at = text.find_first_not_of(kBlanks); at != std::string_view::npos;) {
    const std::size_t end = std::min(text.find_first_of(kBlanks, at), text.size());
    visit(text.substr(at, end - at));
    at = text.find_first_not_of(kBlanks, end);
  }
}

// A position "lon,lat[,alt]" (or "lon lat alt" in a gx:coord) split into its
// two or three parts; false when it has another number of them.
bool splitTuple(std::string_view text, char separator, std::string_view (&parts)[3],
                std::size_t& count) {
  count = 0;
  for (std::size_t at = 0;;) {
    const std::size_t end = std::min(text.find(separator, at), text.size());
    if (count == 3) return false;
    parts[count++] = text.substr(at, end - at);
    if (end == text.size()) break;
    at = end + 1;
  }
  return count >= 2;
}

class KmlReader {
 public:
  explicit KmlReader(RouteBuilder& builder) : builder_(builder) {}

  void addPosition(std::string_view text, char separator, std::optional<double> time) {
    ++number_;
    std::string_view parts[3];
    std::size_t count = 0;
    if (!splitTuple(text, separator, parts, count)) {
      builder_.fail(number_, "is \"" + shownText(text, 40) + "\", not " +
                                 (separator == ',' ? "longitude,latitude[,altitude]."
                                                   : "\"longitude latitude [altitude]\"."));
    }
    RoutePoint point;
    point.longitude = builder_.longitude(parts[0], number_);
    point.latitude = builder_.latitude(parts[1], number_);
    if (count == 3) point.altitude = builder_.altitude(parts[2], number_);
    point.time = time;
    builder_.add(point, number_);
  }

  // A track pairs its <when> and <gx:coord> elements one to one, in order.
  void addTrack(const pugi::xml_node& track) {
    std::vector<std::string_view> times;
    std::vector<std::string_view> positions;
    for (const pugi::xml_node& child : track.children()) {
      if (isElement(child, "when"))
        times.emplace_back(child.child_value());
      else if (isElement(child, "coord"))
        positions.emplace_back(child.child_value());
    }
    if (!times.empty() && times.size() != positions.size()) {
      builder_.failFile("a track has " + std::to_string(times.size()) + " <when> and " +
                        std::to_string(positions.size()) +
                        " <gx:coord> elements; each position needs its time.");
    }
    for (std::size_t i = 0; i < positions.size(); ++i) {
      const std::optional<double> time =
          times.empty() ? std::nullopt : builder_.time(times[i], number_ + 1);
      addPosition(positions[i], ' ', time);
    }
  }

  void addCoordinates(const pugi::xml_node& geometry) {
    for (const pugi::xml_node& child : geometry.children()) {
      if (isElement(child, "coordinates"))
        forEachWord(child.child_value(),
                    [this](std::string_view tuple) { addPosition(tuple, ',', std::nullopt); });
    }
  }

 private:
  RouteBuilder& builder_;
  std::size_t number_ = 0;
};

}  // namespace

Route readKml(const pugi::xml_node& kml, RouteBuilder& builder) {
  Geometry geometry;
  pugi::xml_node root = kml;
  root.traverse(geometry);
  KmlReader reader(builder);
  for (const pugi::xml_node& track : geometry.tracks) reader.addTrack(track);
  if (builder.size() > 0) return builder.finish("KML track", "");
  for (const pugi::xml_node& line : geometry.lines) reader.addCoordinates(line);
  if (builder.size() > 0) return builder.finish("KML line", "");
  for (const pugi::xml_node& point : geometry.points) reader.addCoordinates(point);
  return builder.finish("KML points",
                        "no points: the KML file has no gx:Track, LineString or Point with "
                        "coordinates.");
}

}  // namespace waymock::motion
