// An NMEA log: the fixes of its RMC, GGA and GNS sentences, as a GPS-only
// receiver (talker GP) or a multi-constellation one (GN, or GL, GA and GB for
// a single system) writes them. A sentence without a valid checksum, a fix
// (RMC status other than "A", GGA quality 0, GNS modes all "N") or a position
// gives no point. The sentences of one burst report one fix at one time: those
// with the same time of day are one point, with the altitude of GGA or GNS.
//
// Times take the date of the last RMC or ZDA. Two-digit years are 1969 to
// 2068, as POSIX (and so pynmea2, through Python's strptime) reads them, so a
// log that crosses 31 December 1999 goes on into 2000. A time that steps back
// before a new date arrives is on the next day: always in a log without dates
// (GGA or GNS alone), else when the step forward through midnight is at most
// an hour. Points before the first date take that date.
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "motion/route_builder.h"
#include "motion/route_formats.h"
#include "receiver/nmea_fields.h"
#include "support/number_text.h"

namespace waymock::motion {

namespace {

using receiver::nmea::FieldCursor;
using std::chrono::microseconds;

constexpr microseconds kDay = std::chrono::hours(24);
// A step back in the time of day is midnight passing when the step forward
// through midnight is at most this.
constexpr microseconds kMidnightStep = std::chrono::hours(1);

bool digitsOnly(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Time since midnight of an hhmmss[.sss] field.
std::optional<microseconds> timeOfDay(std::string_view field) {
  const std::size_t point = std::min(field.find('.'), field.size());
  const auto parts = receiver::nmea::readTime(field.substr(0, point));
  if (point != 6 || !parts || parts->hour > 23 || parts->minute > 59 || parts->second > 60)
    return std::nullopt;
  microseconds time = std::chrono::seconds(parts->hour * 3600 + parts->minute * 60 + parts->second);
  if (point < field.size()) {
    const auto fraction = readFractionDigits(field.substr(point + 1));
    if (!fraction) return std::nullopt;
    time += microseconds(std::llround(*fraction * 1'000'000));
  }
  return time;
}

// Days since 1970 of ddmmyy (a year from 69 on is 19yy, else 20yy) or ddmmyyyy.
std::optional<std::int64_t> dayOf(std::string_view field) {
  if ((field.size() != 6 && field.size() != 8) || !digitsOnly(field)) return std::nullopt;
  const int day = std::stoi(std::string(field.substr(0, 2)));
  const int month = std::stoi(std::string(field.substr(2, 2)));
  int year = std::stoi(std::string(field.substr(4)));
  if (field.size() == 6) year += year >= 69 ? 1900 : 2000;
  return unixDay(year, month, day);
}

// Decimal degrees of a ddmm.mmmm / dddmm.mmmm field and its hemisphere,
// negative for `negative` ("S", "W"); nothing unless both are there.
std::optional<double> degreesOf(std::string_view field, std::string_view hemisphere, char positive,
                                char negative) {
  const auto parts = receiver::nmea::splitCoordinate(field);
  if (!parts || field.find_first_not_of("0123456789.") != std::string_view::npos ||
      hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) {
    return std::nullopt;
  }
  const long double degrees = parts->degree + parts->minute / 60.0L + parts->second / 3600.0L;
  return static_cast<double>(hemisphere[0] == negative ? -degrees : degrees);
}

// Fields 1 to 9 are all a fix needs.
constexpr int kFieldsRead = 10;

// Where a sentence's fields lie, and what tells that it has a fix.
struct Layout {
  std::string_view type;
  int latitude;  // then its hemisphere, the longitude and its hemisphere
  int fix;       // RMC's status, GGA's quality, GNS's modes
  int date;      // 0 for none
  int altitude;  // 0 for none
};

// $GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W,A,V*hh
// $GNGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*hh
// $GNGNS,123519.00,4807.038,N,01131.000,E,AAN,08,0.9,545.4,46.9,,,V*hh
constexpr Layout kLayouts[] = {
    {"RMC", 3, 2, 9, 0},
    {"GGA", 2, 6, 0, 9},
    {"GNS", 2, 6, 0, 9},
};

bool hasFix(std::string_view type, std::string_view field) {
  if (type == "RMC") return receiver::nmea::isLetter(field, 'A');
  if (type == "GGA") return digitsOnly(field) && field.find_first_not_of('0') != field.npos;
  // One mode letter per system; N is no fix.
  return !field.empty() && field.find_first_not_of('N') != std::string_view::npos;
}

// A fix as one sentence reported it.
struct Fix {
  std::size_t line = 0;
  RoutePoint point;
  std::optional<microseconds> timeOfDay;
  std::optional<std::int64_t> day;  // days since 1970 of the last date seen
};

class NmeaReader {
 public:
  explicit NmeaReader(const std::string& source) : builder_(source, "line") {}

  void readLine(std::string_view line, std::size_t number) {
    const std::size_t dollar = line.find('$');
    if (dollar == std::string_view::npos) return;
    const std::string_view sentence = line.substr(dollar);
    if (sentence.size() < 7 || !receiver::nmea::checksumValid(sentence)) return;
    const std::string_view talker = sentence.substr(1, 2);
    if (talker != "GP" && talker != "GN" && talker != "GL" && talker != "GA" && talker != "GB")
      return;
    const std::string_view type = sentence.substr(3, 3);
    FieldCursor fields(sentence);
    if (type == "ZDA") {
      zda(fields);
      return;
    }
    for (const Layout& layout : kLayouts) {
      if (layout.type == type) fixOf(layout, fields, number);
    }
  }

  Route finish() {
    flush();
    datePointsBeforeTheFirstDate();
    for (const Fix& fix : fixes_) builder_.add(fix.point, fix.line);
    return builder_.finish("NMEA log",
                           "no points: no RMC, GGA or GNS sentence with a fix and a valid "
                           "checksum.");
  }

 private:
  // $GPZDA,201530.00,04,07,2002,00,00*60, or the date in one field
  // ($GPZDA,201530.00,04072002,00,00*5B, as the simulator's classic ZDA has it)
  void zda(FieldCursor& fields) {
    const std::string_view day = fields.fieldToAsterisk(2);
    const std::string_view month = fields.fieldToAsterisk(3);
    const std::string_view year = fields.fieldToAsterisk(4);
    const auto date = day.size() == 2 && month.size() == 2 && year.size() == 4
                          ? dayOf(std::string(day) + std::string(month) + std::string(year))
                          : dayOf(day);
    if (date) lastDay_ = date;
  }

  void fixOf(const Layout& layout, FieldCursor& cursor, std::size_t number) {
    std::string_view fields[kFieldsRead];
    for (int i = 1; i < kFieldsRead; ++i) fields[i] = cursor.fieldToAsterisk(i);
    if (layout.date > 0) {
      if (const auto date = dayOf(fields[layout.date])) lastDay_ = date;
    }
    if (!hasFix(layout.type, fields[layout.fix])) return;
    const int at = layout.latitude;
    const auto lat = degreesOf(fields[at], fields[at + 1], 'N', 'S');
    const auto lon = degreesOf(fields[at + 2], fields[at + 3], 'E', 'W');
    std::optional<double> altitude;
    if (layout.altitude > 0) altitude = parseDecimal(fields[layout.altitude]);
    const std::string_view time = fields[1];
    if (!lat || !lon) return;
    Fix f;
    f.line = number;
    f.point.latitude = *lat;
    f.point.longitude = *lon;
    builder_.checkPosition(f.point.latitude, f.point.longitude, number);
    // Kept below sea level too, unlike the receiver's records.
    if (altitude) f.point.altitude = builder_.checkAltitude(*altitude, number);
    f.timeOfDay = timeOfDay(time);
    f.day = lastDay_;
    if (pending_ && pending_->timeOfDay && pending_->timeOfDay == f.timeOfDay) {
      // Another sentence of the same burst: one point, the later date and
      // position, the altitude of whichever had one.
      if (!f.point.altitude) f.point.altitude = pending_->point.altitude;
      f.line = pending_->line;
    } else {
      flush();
    }
    pending_ = f;
  }

  void flush() {
    if (!pending_) return;
    Fix& fix = *pending_;
    if (fix.timeOfDay) {
      if (fix.day != readDay_) {
        readDay_ = fix.day;
        day_ = fix.day.value_or(0);
      } else if (previousTimeOfDay_ && *fix.timeOfDay < *previousTimeOfDay_ &&
                 (!fix.day || *fix.timeOfDay + kDay - *previousTimeOfDay_ <= kMidnightStep)) {
        ++day_;  // midnight passed before a new date came
      }
      fix.point.time = TrackTime(std::chrono::days(day_) + *fix.timeOfDay);
      previousTimeOfDay_ = fix.timeOfDay;
    }
    fixes_.push_back(fix);
    pending_.reset();
  }

  // Fixes before the log's first date are read as on that date (the day
  // before, for a time of day after the dated one's).
  void datePointsBeforeTheFirstDate() {
    std::size_t dated = 0;
    while (dated < fixes_.size() && !(fixes_[dated].day && fixes_[dated].timeOfDay)) ++dated;
    if (dated == fixes_.size()) return;
    const Fix& first = fixes_[dated];
    for (std::size_t i = 0; i < dated; ++i) {
      Fix& fix = fixes_[i];
      if (!fix.timeOfDay) continue;
      const std::int64_t day = *first.day - (*fix.timeOfDay > *first.timeOfDay ? 1 : 0);
      fix.point.time = TrackTime(std::chrono::days(day) + *fix.timeOfDay);
    }
  }

  RouteBuilder builder_;
  std::optional<std::int64_t> lastDay_;  // of the last RMC or ZDA
  std::optional<Fix> pending_;
  // The day the last flushed fix is on, as read and with the midnights passed.
  std::optional<std::int64_t> readDay_;
  std::int64_t day_ = 0;
  std::optional<microseconds> previousTimeOfDay_;
  std::vector<Fix> fixes_;
};

}  // namespace

Route readNmeaRoute(std::string_view text, const std::string& source) {
  NmeaReader reader(source);
  std::size_t number = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    // Some receivers end their lines in CR CR LF.
    while (line.ends_with('\r')) line.remove_suffix(1);
    at = end + 1;
    reader.readLine(line, ++number);
  }
  return reader.finish();
}

}  // namespace waymock::motion
