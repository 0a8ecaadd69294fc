// GPX: the points of every track segment in order; a file without tracks gives
// its routes' points, and one with neither its waypoints.
#include <exception>
#include <optional>
#include <vector>

#include "motion/route_builder.h"
#include "motion/xml_route.h"
#include "support/error.h"

namespace waymock::motion {

namespace {

// In the order they are preferred: the last found wins.
enum class Kind { waypoints, route, track };

class GpxContent final : public XmlRouteContent {
 public:
  explicit GpxContent(const std::string& source) : source_(source), builder_(source, "point") {}

  bool open(std::string_view name, const char* const* attributes) override {
    const std::string_view local = localName(name);
    Role role = Role::other;
    switch (roles_.empty() ? Role::root : roles_.back()) {
      case Role::root:
        if (local == "wpt")
          role = openPoint(Kind::waypoints, attributes);
        else if (local == "rte")
          role = Role::route;
        else if (local == "trk")
          role = Role::track;
        break;
      case Role::route:
        if (local == "rtept") role = openPoint(Kind::route, attributes);
        break;
      case Role::track:
        if (local == "trkseg") role = Role::segment;
        break;
      case Role::segment:
        if (local == "trkpt") role = openPoint(Kind::track, attributes);
        break;
      case Role::point:
        if (local == "ele")
          role = Role::altitude;
        else if (local == "time")
          role = Role::time;
        break;
      default:
        break;
    }
    roles_.push_back(role);
    if (role != Role::altitude && role != Role::time) return false;
    text_.clear();
    return !error_;
  }

  void text(std::string_view piece) override { text_ += piece; }
  void dropText() override { text_.clear(); }

  void close() override {
    const Role role = roles_.back();
    roles_.pop_back();
    if (error_) return;
    attempt([this, role] {
      if (role == Role::altitude)
        point_.altitude = builder_.altitude(text_, number_);
      else if (role == Role::time)
        point_.time = builder_.time(text_, number_);
      else if (role == Role::point)
        builder_.add(point_, number_);
    });
  }

  Route finish() override {
    if (!kind_) builder_.failFile("no points: the GPX file has no trkpt, rtept or wpt element.");
    if (error_) std::rethrow_exception(error_);
    static constexpr const char* kNames[] = {"GPX waypoints", "GPX route", "GPX track"};
    return builder_.finish(kNames[static_cast<int>(*kind_)], "");
  }

 private:
  enum class Role { root, route, track, segment, point, altitude, time, other };

  // A point element of `kind`: the points of a kind preferred to the ones
  // before replace them, and are not replaced by those of a kind less so.
  Role openPoint(Kind kind, const char* const* attributes) {
    if (kind_ && kind < *kind_) return Role::other;
    if (kind_ != kind) {
      kind_ = kind;
      builder_ = RouteBuilder(source_, "point");
      number_ = 0;
      error_ = nullptr;
    }
    ++number_;
    if (error_) return Role::other;
    attempt([this, attributes] {
      point_ = RoutePoint{};
      point_.latitude = builder_.latitude(attribute(attributes, "lat"), number_);
      point_.longitude = builder_.longitude(attribute(attributes, "lon"), number_);
    });
    return Role::point;
  }

  const std::string& source_;
  RouteBuilder builder_;
  std::optional<Kind> kind_;  // the kind preferred of those found so far
  std::size_t number_ = 0;    // its point elements so far
  std::vector<Role> roles_;   // one for each open element below the root
  RoutePoint point_;
  std::string text_;
};

}  // namespace

std::unique_ptr<XmlRouteContent> gpxContent(const std::string& source) {
  return std::make_unique<GpxContent>(source);
}

}  // namespace waymock::motion
