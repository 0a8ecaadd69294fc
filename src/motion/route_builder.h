#pragma once

// What the route readers share: numbers and times as files write them, and the
// checks every point passes, with messages that name the file and the point.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "motion/route.h"

namespace waymock::motion {

// A decimal number as data files write it, whatever the user's locale: an
// optional sign, digits with an optional point, an optional exponent; blanks
// around it are ignored. Nothing for anything else, infinity and NaN included.
std::optional<double> parseDecimal(std::string_view text);

// An ISO 8601 date and time such as "2024-05-01T10:00:00Z" in the years 0000 to
// 9999. The fraction of a second (to the microsecond, further digits rounded)
// and the zone ("Z", "+02:00", "-0500") are optional, a time without a zone is
// UTC, and a blank may stand for the "T". Nothing when the text is not one or
// names a day that does not exist.
std::optional<TrackTime> parseIsoTime(std::string_view text);
// Seconds since 1970-01-01 UTC written as decimal digits with an optional sign
// and fraction ("1714557601.1"), exactly; nothing for other text or a time
// outside the years 0000 to 9999.
std::optional<TrackTime> parseUnixSeconds(std::string_view text);
// A time as "2024-05-01T10:00:00Z", with the fraction of a second when there
// is one ("2024-05-01T10:00:00.25Z").
std::string isoTimeText(TrackTime time);
// Days since 1970-01-01 of a calendar date; nothing when there is no such day.
std::optional<std::int64_t> unixDay(int year, int month, int day);

// Collects the points of one file, checking each as it comes. A failure is an
// IoError "<file>: <unit> <number> <problem>", as in "harbour.gpx: point 12
// has a latitude outside -90 to 90." Messages never quote the file's text: a
// control client may have the simulator read any file its user can.
class RouteBuilder {
 public:
  // `unit` is how the file counts its points in messages: "point" or "line".
  RouteBuilder(std::string source, std::string_view unit);

  [[noreturn]] void fail(std::size_t number, const std::string& problem) const;
  // "<file>: <problem>", for what is wrong with the file as a whole.
  [[noreturn]] void failFile(const std::string& problem) const;

  // The file's text of a point's field, read and checked. Empty text is a
  // missing latitude or longitude, and no altitude or time.
  double latitude(std::string_view text, std::size_t number) const;
  double longitude(std::string_view text, std::size_t number) const;
  std::optional<double> altitude(std::string_view text, std::size_t number) const;
  // With `unixSeconds`, a number is a time in seconds since 1970-01-01 UTC.
  std::optional<TrackTime> time(std::string_view text, std::size_t number,
                                bool unixSeconds = false) const;
  // The same range checks for a position computed from the file.
  void checkPosition(double latitude, double longitude, std::size_t number) const;
  // An altitude from kMinAltitude to kMaxAltitude, returned as it is.
  double checkAltitude(double altitude, std::size_t number) const;

  void reserve(std::size_t points) { route_.points.reserve(points); }
  // Appends a point, refusing a time before the last point's that had one.
  void add(const RoutePoint& point, std::size_t number);
  std::size_t size() const { return route_.points.size(); }
  // The route read; `whyNoPoints` is the problem when no point was added.
  Route finish(std::string kind, const std::string& whyNoPoints);

 private:
  Route route_;
  std::string shownSource_;
  std::string unit_;
  std::optional<TrackTime> lastTime_;
  std::size_t lastTimeNumber_ = 0;
};

}  // namespace waymock::motion
