// CSV: one point a line, lat,lon[,alt][,time]. Blank lines and lines that
// begin with "#" are skipped. A first line whose first field is not a number
// is a header that names the columns (lat or latitude; lon, lng, long or
// longitude; alt, altitude, ele or elevation; time or timestamp; others are
// ignored). Without one, the columns are taken in that order, and a line of
// three fields has an altitude, or a time when its third field is not a
// number. A time is ISO 8601 (UTC when it names no zone) or Unix seconds.
#include <optional>
#include <string>
#include <vector>

#include "motion/route_builder.h"
#include "motion/route_formats.h"

namespace waymock::motion {

namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The line's fields, trimmed and without enclosing double quotes.
void splitFields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  for (std::size_t at = 0;;) {
    const std::size_t comma = std::min(line.find(',', at), line.size());
    std::string_view field = trimmed(line.substr(at, comma - at));
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
      field = trimmed(field.substr(1, field.size() - 2));
    fields.push_back(field);
    if (comma == line.size()) return;
    at = comma + 1;
  }
}

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

Columns headerColumns(const std::vector<std::string_view>& header, const RouteBuilder& builder,
                      std::size_t line) {
  std::optional<std::size_t> latitude, longitude;
  Columns columns;
  for (std::size_t i = 0; i < header.size(); ++i) {
    const std::string_view name = header[i];
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

Route readCsvRoute(std::string_view text, const std::string& source) {
  RouteBuilder builder(source, "line");
  std::optional<Columns> header;
  bool first = true;
  std::vector<std::string_view> fields;
  std::size_t number = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = trimmed(text.substr(at, end - at));
    at = end + 1;
    ++number;
    if (line.empty() || line.front() == '#') continue;
    splitFields(line, fields);
    if (first) {
      first = false;
      if (!fields[0].empty() && !parseDecimal(fields[0])) {
        header = headerColumns(fields, builder, number);
        continue;
      }
    }
    Columns columns;
    if (header) {
      columns = *header;
    } else if (fields.size() >= 4) {
      columns.altitude = 2;
      columns.time = 3;
    } else if (fields.size() == 3) {
      (fields[2].empty() || parseDecimal(fields[2]) ? columns.altitude : columns.time) = 2;
    }
    const auto field = [&fields](std::optional<std::size_t> column) {
      return column && *column < fields.size() ? fields[*column] : std::string_view{};
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
