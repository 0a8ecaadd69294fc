// KML: the points of every gx:Track in order, each with its <when>; a file
// without tracks gives its LineStrings' coordinates, and one with neither its
// Points.
#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "motion/route_builder.h"
#include "motion/xml_route.h"
#include "support/error.h"

namespace waymock::motion {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

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

// The texts of a track's <when> or <gx:coord> elements, one after the other
// in one string.
class TextList {
 public:
  void begin() { starts_.push_back(text_.size()); }
  void append(std::string_view piece) { text_ += piece; }
  void dropLast() { text_.resize(starts_.back()); }
  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }
  std::string_view operator[](std::size_t i) const {
    const std::size_t end = i + 1 < starts_.size() ? starts_[i + 1] : text_.size();
    return std::string_view(text_).substr(starts_[i], end - starts_[i]);
  }

 private:
  std::string text_;
  std::vector<std::size_t> starts_;
};

// In the order they are preferred: the last found wins.
enum class Kind { points, line, track };

class KmlContent final : public XmlRouteContent {
 public:
  explicit KmlContent(const std::string& source) : source_(source), builder_(source, "point") {}

  bool open(std::string_view name, const char* const*) override {
    const std::string_view local = localName(name);
    const Role parent = roles_.empty() ? Role::other : roles_.back();
    Role role = Role::other;
    if (local == "Track") {
      role = Role::track;
      tracks_.emplace_back();
    } else if (local == "LineString") {
      role = Role::line;
    } else if (local == "Point") {
      role = Role::point;
    } else if (parent == Role::track && local == "when") {
      role = Role::when;
      tracks_.back().times.begin();
    } else if (parent == Role::track && local == "coord") {
      role = Role::coord;
      tracks_.back().positions.begin();
    } else if ((parent == Role::line || parent == Role::point) && local == "coordinates") {
      role = Role::coordinates;
      coordinatesKind_ = parent == Role::line ? Kind::line : Kind::points;
      word_.clear();
    }
    roles_.push_back(role);
    return role == Role::when || role == Role::coord || role == Role::coordinates;
  }

  void text(std::string_view piece) override {
    switch (roles_.back()) {
      case Role::when:
        tracks_.back().times.append(piece);
        break;
      case Role::coord:
        tracks_.back().positions.append(piece);
        break;
      case Role::coordinates:
        addWords(piece);
        break;
      default:
        break;
    }
  }

  void dropText() override {
    if (roles_.back() == Role::when) tracks_.back().times.dropLast();
    if (roles_.back() == Role::coord) tracks_.back().positions.dropLast();
  }

  void close() override {
    const Role role = roles_.back();
    roles_.pop_back();
    if (role == Role::track) {
      addTrack(tracks_.back());
      tracks_.pop_back();
    } else if (role == Role::coordinates && !word_.empty()) {
      addTuple(coordinatesKind_, word_);
    }
  }

  Route finish() override {
    if (!kind_) {
      builder_.failFile(
          "no points: the KML file has no gx:Track, LineString or Point with coordinates.");
    }
    if (error_) std::rethrow_exception(error_);
    static constexpr const char* kNames[] = {"KML points", "KML line", "KML track"};
    return builder_.finish(kNames[static_cast<int>(*kind_)], "");
  }

 private:
  enum class Role { other, track, when, coord, line, point, coordinates };

  struct Track {
    TextList times;
    TextList positions;
  };

  // Whether to read a point or problem of `kind`: those of a kind preferred to
  // the ones before replace them, and are not replaced by those of a kind less
  // so. After a problem, the rest of its kind is skipped.
  bool admit(Kind kind) {
    if (kind_ && kind < *kind_) return false;
    if (kind_ != kind) {
      kind_ = kind;
      builder_ = RouteBuilder(source_, "point");
      number_ = 0;
      error_ = nullptr;
    }
    return !error_;
  }

  void addPosition(std::string_view text, char separator, std::optional<TrackTime> time) {
    ++number_;
    std::string_view parts[3];
    std::size_t count = 0;
    if (!splitTuple(text, separator, parts, count)) {
      builder_.fail(number_, separator == ',' ? "is not longitude,latitude[,altitude]."
                                              : "is not \"longitude latitude [altitude]\".");
    }
    RoutePoint point;
    point.longitude = builder_.longitude(parts[0], number_);
    point.latitude = builder_.latitude(parts[1], number_);
    if (count == 3) point.altitude = builder_.altitude(parts[2], number_);
    point.time = time;
    builder_.add(point, number_);
  }

  void addTuple(Kind kind, std::string_view tuple) {
    if (admit(kind)) attempt([this, tuple] { addPosition(tuple, ',', std::nullopt); });
  }

  // The blank-separated words of <coordinates>, as their pieces come; a word
  // cut by the end of a piece waits for the rest.
  void addWords(std::string_view piece) {
    for (std::size_t at = 0; at < piece.size();) {
      const std::size_t blank = piece.find_first_of(kBlanks, at);
      if (blank == std::string_view::npos) {
        word_ += piece.substr(at);
        return;
      }
      word_ += piece.substr(at, blank - at);
      if (!word_.empty()) addTuple(coordinatesKind_, word_);
      word_.clear();
      at = blank + 1;
    }
  }

  // A track pairs its <when> and <gx:coord> elements one to one, in order.
  void addTrack(const Track& track) {
    const TextList& times = track.times;
    const TextList& positions = track.positions;
    if (positions.empty() && times.empty()) return;
    if (!admit(Kind::track)) return;
    attempt([&] {
      if (!times.empty() && times.size() != positions.size()) {
        builder_.failFile("a track has " + std::to_string(times.size()) + " <when> and " +
                          std::to_string(positions.size()) +
                          " <gx:coord> elements; each position needs its time.");
      }
      for (std::size_t i = 0; i < positions.size(); ++i) {
        const std::optional<TrackTime> time =
            times.empty() ? std::nullopt : builder_.time(times[i], number_ + 1);
        addPosition(positions[i], ' ', time);
      }
    });
  }

  const std::string& source_;
  RouteBuilder builder_;
  std::optional<Kind> kind_;   // the kind preferred of those found so far
  std::size_t number_ = 0;     // its positions so far
  std::vector<Role> roles_;    // one for each open element below the root
  std::vector<Track> tracks_;  // the open tracks, the innermost last
  Kind coordinatesKind_ = Kind::points;
  std::string word_;
};

}  // namespace

std::unique_ptr<XmlRouteContent> kmlContent(const std::string& source) {
  return std::make_unique<KmlContent>(source);
}

}  // namespace waymock::motion
