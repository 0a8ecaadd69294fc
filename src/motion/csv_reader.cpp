// CSV: one point a line, lat,lon[,alt][,time]. Blank lines and lines that
// begin with "#" are skipped. A first line whose first field is not a number
// is a header that names the columns (lat or latitude; lon, lng, long or
// longitude; alt, altitude, ele or elevation; time or timestamp; others are
// ignored). Without one, the columns are taken in that order, and a line of
// three fields has an altitude, or a time when its third field is not a
// number. A time is ISO 8601 (UTC when it names no zone) or Unix seconds. The
// file is read in pieces and a line longer than any row is refused, so memory
// stays that of the points whatever the file holds.
#include <algorithm>
#include <optional>
#include <string>

#include "motion/route_builder.h"
#include "motion/route_formats.h"

namespace waymock::motion {

namespace {

constexpr std::string_view kBlanks = " \t\r";
// Far longer than any row of a route: a longer line is refused as soon as it
// is seen, so a hostile file costs no more memory than this and a piece.
constexpr std::size_t kLongestLine = 4096;

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The fields of a line one after another, trimmed and without enclosing
// double quotes: no list of them all is built.
class Fields {
 public:
  explicit Fields(std::string_view line) : rest_(line) {}
  bool next(std::string_view& field) {
    if (done_) return false;
    const std::size_t comma = std::min(rest_.find(','), rest_.size());
    field = trimmed(rest_.substr(0, comma));
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
      field = trimmed(field.substr(1, field.size() - 2));
    done_ = comma == rest_.size();
    if (!done_) rest_.remove_prefix(comma + 1);
    return true;
  }

 private:
  std::string_view rest_;
  bool done_ = false;
};

std::string_view fieldAt(std::string_view line, std::size_t index) {
  Fields fields(line);
  std::string_view field;
  for (std::size_t i = 0; fields.next(field); ++i) {
    if (i == index) return field;
  }
  return {};
}

// The lines of a file read in pieces, each line refused once it is longer
// than kLongestLine.
class Lines {
 public:
  Lines(const ReadPiece& read, const RouteBuilder& builder) : read_(read), builder_(builder) {}
  // The next line without its end, and its number; false at the end.
  bool next(std::string_view& line, std::size_t& number) {
    for (;;) {
      const std::size_t end = buffer_.find('\n', start_);
      const std::size_t stop = end == std::string::npos ? buffer_.size() : end;
      if (stop - start_ > kLongestLine) tooLong();
      if (end != std::string::npos || (ended_ && start_ < buffer_.size())) {
        line = std::string_view(buffer_).substr(start_, stop - start_);
        start_ = stop + 1;
        number = ++number_;
        return true;
      }
      if (ended_) return false;
      buffer_.erase(0, start_);
      start_ = 0;
      const std::size_t held = buffer_.size();
      buffer_.resize(held + kPiece);
      const std::size_t got = read_(buffer_.data() + held, kPiece);
      buffer_.resize(held + got);
      ended_ = got == 0;
    }
  }

 private:
  static constexpr std::size_t kPiece = 64 * 1024;
  [[noreturn]] void tooLong() const {
    builder_.fail(number_ + 1, "is longer than " + std::to_string(kLongestLine) +
                                   " bytes, far more than a row of a route.");
  }
  const ReadPiece& read_;
  const RouteBuilder& builder_;
  std::string buffer_;
  std::size_t start_ = 0;
  std::size_t number_ = 0;
  bool ended_ = false;
};

bool named(std::string_view field, std::initializer_list<std::string_view> names) {
  for (const std::string_view name : names) {
    if (field.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      const char c = field[i];
      same = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == name[i];
    }
    if (same) return true;
  }
  return false;
}

// Column numbers; nothing when the file has no such column.
struct Columns {
  std::size_t latitude = 0;
  std::size_t longitude = 1;
  std::optional<std::size_t> altitude;
  std::optional<std::size_t> time;
};

Columns headerColumns(std::string_view header, const RouteBuilder& builder, std::size_t line) {
  std::optional<std::size_t> latitude, longitude;
  Columns columns;
  Fields fields(header);
  std::string_view name;
  for (std::size_t i = 0; fields.next(name); ++i) {
    if (named(name, {"lat", "latitude"}) && !latitude) latitude = i;
    if (named(name, {"lon", "lng", "long", "longitude"}) && !longitude) longitude = i;
    if (named(name, {"alt", "altitude", "ele", "elevation"}) && !columns.altitude)
      columns.altitude = i;
    if (named(name, {"time", "timestamp"}) && !columns.time) columns.time = i;
  }
  if (!latitude || !longitude) {
    builder.fail(line, std::string("is a header without a ") +
                           (latitude ? "longitude" : "latitude") +
                           " column: name the columns lat,lon[,alt][,time].");
  }
  columns.latitude = *latitude;
  columns.longitude = *longitude;
  return columns;
}

}  // namespace

Route readCsvRoute(const ReadPiece& read, const std::string& source) {
  RouteBuilder builder(source, "line");
  Lines lines(read, builder);
  std::optional<Columns> header;
  bool first = true;
  std::string_view line;
  std::size_t number = 0;
  while (lines.next(line, number)) {
    line = trimmed(line);
    if (line.empty() || line.front() == '#') continue;
    if (first) {
      first = false;
      const std::string_view head = fieldAt(line, 0);
      if (!head.empty() && !parseDecimal(head)) {
        header = headerColumns(line, builder, number);
        continue;
      }
    }
    Columns columns;
    if (header) {
      columns = *header;
    } else if (const auto count =
                   static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1;
               count >= 4) {
      columns.altitude = 2;
      columns.time = 3;
    } else if (count == 3) {
      const std::string_view third = fieldAt(line, 2);
      (third.empty() || parseDecimal(third) ? columns.altitude : columns.time) = 2;
    }
    const auto field = [line](std::optional<std::size_t> column) {
      return column ? fieldAt(line, *column) : std::string_view{};
    };
    RoutePoint point;
    point.latitude = builder.latitude(field(columns.latitude), number);
    point.longitude = builder.longitude(field(columns.longitude), number);
    point.altitude = builder.altitude(field(columns.altitude), number);
    point.time = builder.time(field(columns.time), number, true);
    builder.add(point, number);
  }
  return builder.finish("CSV table", "no points: no line holds a latitude and a longitude.");
}

}  // namespace waymock::motion
