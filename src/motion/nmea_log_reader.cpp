// An NMEA log: the fixes of its $GPRMC and $GPGGA sentences, through the
// receiver that file mode replays logs with (framing, checksums, positions).
// A sentence without a fix (RMC status other than "A", GGA quality 0) or
// without a position gives no point. The sentences of one burst report one fix
// at one time: an RMC and a GGA with the same time of day are one point, with
// the GGA's altitude. Times take the date of the last RMC or ZDA; a time that
// steps back over midnight before a new date arrives is on the next day, and
// points before the first date take that date.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "motion/route_builder.h"
#include "motion/route_formats.h"
#include "receiver/custom_gps_receiver.h"
#include "receiver/nmea_fields.h"

namespace waymock::motion {

namespace {

using receiver::nmea::FieldCursor;

constexpr double kDay = 86'400;
// A step back in the time of day is midnight passing when the step forward
// through midnight is at most this.
constexpr double kMidnightStep = 3'600;

// Seconds since midnight of an hhmmss[.sss] field.
std::optional<double> timeOfDay(std::string_view field) {
  const auto parts = receiver::nmea::readTime(field);
  if (!parts || parts->hour > 23 || parts->minute > 59 || parts->second > 60) return std::nullopt;
  double seconds = parts->hour * 3600 + parts->minute * 60 + parts->second;
  if (const auto point = field.find('.'); point != std::string_view::npos)
    seconds += parts->fraction / std::pow(10.0, static_cast<double>(field.size() - point - 1));
  return seconds;
}

// A fix as one sentence reported it.
struct Fix {
  std::size_t line = 0;
  RoutePoint point;
  std::optional<double> timeOfDay;
  std::optional<std::int64_t> day;  // days since 1970 of the last date seen
};

class NmeaReader {
 public:
  explicit NmeaReader(const std::string& source) : builder_(source, "line") {
    receiver_.SetNMEALog(false);
  }

  void readLine(std::string_view line, std::size_t number) {
    const std::size_t dollar = line.find('$');
    if (dollar == std::string_view::npos) return;
    const std::size_t accepted = receiver_.sentenceCounts().accepted;
    text_.assign(line.substr(dollar));
    text_ += "\r\n";
    receiver_.ReceiveData(text_);
    if (receiver_.sentenceCounts().accepted == accepted) return;
    const std::string_view sentence(text_.data(), text_.size() - 2);
    const bool rmc = sentence.starts_with("$GPRMC");
    if (rmc || sentence.starts_with("$GPGGA")) fixOf(sentence, number, rmc);
  }

  Route finish() {
    flush();
    datePointsBeforeTheFirstDate();
    for (const Fix& fix : fixes_) builder_.add(fix.point, fix.line);
    return builder_.finish("NMEA log",
                           "no points: no $GPRMC or $GPGGA sentence with a fix and a valid "
                           "checksum.");
  }

 private:
  // The fix of an RMC or a GGA sentence that the receiver has just parsed.
  void fixOf(std::string_view sentence, std::size_t number, bool rmc) {
    const int latitudeField = rmc ? 3 : 2;  // the hemisphere, longitude and its hemisphere follow
    FieldCursor fields(sentence);
    const std::string_view time = fields.field(1);
    if (rmc && !receiver::nmea::isLetter(fields.field(2), 'A')) return;
    // The receiver keeps the last position where a field is empty or no
    // coordinate, which here would repeat an old point.
    for (int i = latitudeField; i < latitudeField + 4; i += 2) {
      if (!receiver::nmea::splitCoordinate(fields.field(i)) || fields.field(i + 1).empty()) return;
    }
    const auto& position = receiver_.Position();
    if (!rmc && position.Fix_Quality == 0) return;
    Fix fix;
    fix.line = number;
    fix.point.latitude = static_cast<double>(
        receiver::signedDegrees(position.Latitude_Degree, position.Latitude_Minute,
                                position.Latitude_Second, position.Latitude_Direction));
    // The receiver counts west positive; the map counts east positive.
    fix.point.longitude = -static_cast<double>(
        receiver::signedDegrees(position.Longitude_Degree, position.Longitude_Minute,
                                position.Longitude_Second, position.Longitude_Direction));
    builder_.checkPosition(fix.point.latitude, fix.point.longitude, number);
    // Read here: the receiver takes a signed number as 0, and a route keeps
    // the altitudes below sea level.
    if (!rmc) fix.point.altitude = parseDecimal(fields.field(9));
    fix.timeOfDay = timeOfDay(time);
    fix.day = unixDay(position.Date_Year, position.Date_Month, position.Date_Day);
    if (position.Date_Year == 0) fix.day.reset();  // no date seen yet

    if (pending_ && pending_->timeOfDay && pending_->timeOfDay == fix.timeOfDay) {
      // Another sentence of the same burst: one point, the later date and
      // position, the altitude of whichever had one.
      if (!fix.point.altitude) fix.point.altitude = pending_->point.altitude;
      fix.line = pending_->line;
    } else {
      flush();
    }
    pending_ = fix;
  }

  void flush() {
    if (!pending_) return;
    Fix& fix = *pending_;
    if (fix.timeOfDay) {
      double time = static_cast<double>(fix.day.value_or(0)) * kDay + *fix.timeOfDay;
      if (previousTime_ && time < *previousTime_ && time + kDay - *previousTime_ <= kMidnightStep)
        time += kDay;
      fix.point.time = time;
      previousTime_ = time;
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
      fix.point.time = static_cast<double>(day) * kDay + *fix.timeOfDay;
    }
  }

  RouteBuilder builder_;
  receiver::TTarnCustomGPSReceiver receiver_;
  std::string text_;
  std::optional<Fix> pending_;
  std::optional<double> previousTime_;
  std::vector<Fix> fixes_;
};

}  // namespace

Route readNmeaRoute(std::string_view text, const std::string& source) {
  NmeaReader reader(source);
  std::size_t number = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    at = end + 1;
    reader.readLine(line, ++number);
  }
  return reader.finish();
}

}  // namespace waymock::motion
