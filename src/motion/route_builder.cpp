#include "motion/route_builder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "support/datetime.h"
#include "support/error.h"
#include "support/number_text.h"
#include "support/shown_text.h"
#include "support/value_bounds.h"

namespace waymock::motion {

namespace {

using std::chrono::microseconds;
using std::chrono::seconds;

constexpr std::int64_t kSecondsPerDay = 86'400;
// The years a time may name: four digits, so that every time has a text.
constexpr TrackTime kEarliestTime{seconds(-62'167'219'200)};  // 0000-01-01T00:00:00Z
constexpr TrackTime kEndOfTime{seconds(253'402'300'800)};     // 10000-01-01T00:00:00Z

bool inYears(TrackTime time) {
  return time >= kEarliestTime && time < kEndOfTime;
}

// The digits after a decimal point in whole microseconds, further digits
// rounded; nothing when there are none or anything else is among them.
std::optional<microseconds> fractionOf(std::string_view digits) {
  const auto fraction = readFractionDigits(digits);
  if (!fraction) return std::nullopt;
  return microseconds(std::llround(*fraction * 1'000'000));
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Reads fixed-width fields of an ISO 8601 text from left to right.
class IsoCursor {
 public:
  explicit IsoCursor(std::string_view text) : text_(text) {}

  std::optional<int> digits(std::size_t count) {
    if (text_.size() - at_ < count) return std::nullopt;
    const auto value = readDigits(text_.substr(at_, count));
    if (!value) return std::nullopt;
    at_ += count;
    return static_cast<int>(*value);
  }
  bool take(std::string_view choices) {
    if (at_ == text_.size() || choices.find(text_[at_]) == std::string_view::npos) return false;
    ++at_;
    return true;
  }
  // The digits after a decimal point; nothing when there are none.
  std::optional<microseconds> fraction() {
    const std::size_t start = at_;
    at_ = std::min(text_.find_first_not_of("0123456789", at_), text_.size());
    return fractionOf(text_.substr(start, at_ - start));
  }
  bool atEnd() const { return at_ == text_.size(); }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<double> parseDecimal(std::string_view text) {
  text = trimmed(text);
  // from_chars takes no "+", but data files write one.
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::int64_t> unixDay(int year, int month, int day) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 0 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return std::nullopt;
  return daysFromCivil(year, month, day) - daysFromCivil(1970, 1, 1);
}

std::optional<TrackTime> parseIsoTime(std::string_view text) {
  IsoCursor at(trimmed(text));
  const auto year = at.digits(4);
  if (!year || !at.take("-")) return std::nullopt;
  const auto month = at.digits(2);
  if (!month || !at.take("-")) return std::nullopt;
  const auto day = at.digits(2);
  if (!day || !at.take("Tt ")) return std::nullopt;
  const auto hour = at.digits(2);
  if (!hour || !at.take(":")) return std::nullopt;
  const auto minute = at.digits(2);
  if (!minute || !at.take(":")) return std::nullopt;
  const auto second = at.digits(2);
  if (!second) return std::nullopt;
  microseconds fraction{0};
  if (at.take(".,")) {
    const auto digits = at.fraction();
    if (!digits) return std::nullopt;
    fraction = *digits;
  }
  int offset = 0;  // minutes east of UTC
  if (!at.take("Zz") && !at.atEnd()) {
    const bool west = at.take("-");
    if (!west && !at.take("+")) return std::nullopt;
    const auto hours = at.digits(2);
    at.take(":");
    const auto minutes = at.digits(2);
    if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
    offset = (*hours * 60 + *minutes) * (west ? -1 : 1);
  }
  if (!at.atEnd() || *hour > 23 || *minute > 59 || *second > 60) return std::nullopt;
  const auto days = unixDay(*year, *month, *day);
  if (!days) return std::nullopt;
  return TrackTime(
      seconds(*days * kSecondsPerDay + *hour * 3600 + *minute * 60 + *second - offset * 60) +
      fraction);
}

std::optional<TrackTime> parseUnixSeconds(std::string_view text) {
  text = trimmed(text);
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  const std::size_t point = std::min(text.find('.'), text.size());
  const std::string_view whole = text.substr(0, point);
  // Twelve digits reach past the year 9999.
  std::int64_t count = 0;
  if (whole.empty() || whole.size() > 12 ||
      whole.find_first_not_of("0123456789") != std::string_view::npos ||
      std::from_chars(whole.data(), whole.data() + whole.size(), count).ec != std::errc()) {
    return std::nullopt;
  }
  microseconds value = seconds(count);
  if (point < text.size()) {
    const auto fraction = fractionOf(text.substr(point + 1));
    if (!fraction) return std::nullopt;
    value += *fraction;
  }
  const TrackTime time(negative ? -value : value);
  if (!inYears(time)) return std::nullopt;
  return time;
}

std::string isoTimeText(TrackTime time) {
  time = std::clamp(time, kEarliestTime, kEndOfTime - microseconds(1));
  const auto days = std::chrono::floor<std::chrono::days>(time);
  const std::int64_t rest = (time - days).count();  // microseconds into the day
  int year = 0, month = 0, day = 0;
  civilFromDays(days.time_since_epoch().count() + daysFromCivil(1970, 1, 1), year, month, day);
  const std::int64_t second = rest / 1'000'000;
  char text[48];
  int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day,
                             static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60),
                             static_cast<int>(second % 60));
  if (const auto micro = static_cast<long>(rest % 1'000'000); micro != 0) {
    length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), ".%06ld",
                            micro);
    while (text[length - 1] == '0') --length;
  }
  return std::string(text, static_cast<std::size_t>(length)) + 'Z';
}

RouteBuilder::RouteBuilder(std::string source, std::string_view unit)
    : shownSource_(shownText(source, 1024)), unit_(unit) {
  route_.source = std::move(source);
}

void RouteBuilder::fail(std::size_t number, const std::string& problem) const {
  raiseIo(shownSource_ + ": " + unit_ + ' ' + std::to_string(number) + ' ' + problem);
}

void RouteBuilder::failFile(const std::string& problem) const {
  raiseIo(shownSource_ + ": " + problem);
}

double RouteBuilder::latitude(std::string_view text, std::size_t number) const {
  text = trimmed(text);
  if (text.empty()) fail(number, "has no latitude.");
  const auto value = parseDecimal(text);
  if (!value) fail(number, "has a latitude that is not a number.");
  if (*value < -90 || *value > 90) fail(number, "has a latitude outside -90 to 90.");
  return *value;
}

double RouteBuilder::longitude(std::string_view text, std::size_t number) const {
  text = trimmed(text);
  if (text.empty()) fail(number, "has no longitude.");
  const auto value = parseDecimal(text);
  if (!value) fail(number, "has a longitude that is not a number.");
  if (*value < -180 || *value > 180) fail(number, "has a longitude outside -180 to 180.");
  return *value;
}

std::optional<double> RouteBuilder::altitude(std::string_view text, std::size_t number) const {
  text = trimmed(text);
  if (text.empty()) return std::nullopt;
  const auto value = parseDecimal(text);
  if (!value) fail(number, "has an altitude that is not a number.");
  return checkAltitude(*value, number);
}

double RouteBuilder::checkAltitude(double altitude, std::size_t number) const {
  if (!(altitude >= kMinAltitude && altitude <= kMaxAltitude)) {
    fail(number, "has an altitude outside " + formatGeneral(kMinAltitude) + " to " +
                     formatGeneral(kMaxAltitude) + " m.");
  }
  return altitude;
}

std::optional<TrackTime> RouteBuilder::time(std::string_view text, std::size_t number,
                                            bool unixSeconds) const {
  text = trimmed(text);
  if (text.empty()) return std::nullopt;
  if (unixSeconds) {
    if (const auto value = parseUnixSeconds(text)) return value;
    // Other number forms ("1.7145576E+09", as spreadsheets write) to the
    // microsecond a double holds.
    if (const auto number = parseDecimal(text); number && std::fabs(*number) < 1e12) {
      const TrackTime time = trackTimeAt(*number);
      if (inYears(time)) return time;
    }
    if (const auto value = parseIsoTime(text)) return value;
    fail(number,
         "has a time that is neither a date and time such as 2024-05-01T10:00:00Z nor Unix "
         "seconds.");
  }
  const auto value = parseIsoTime(text);
  if (!value) fail(number, "has a time that is not a date and time such as 2024-05-01T10:00:00Z.");
  return value;
}

void RouteBuilder::checkPosition(double latitude, double longitude, std::size_t number) const {
  if (!(latitude >= -90 && latitude <= 90)) fail(number, "has a latitude outside -90 to 90.");
  if (!(longitude >= -180 && longitude <= 180))
    fail(number, "has a longitude outside -180 to 180.");
}

void RouteBuilder::add(const RoutePoint& point, std::size_t number) {
  if (point.time) {
    if (lastTime_ && *point.time < *lastTime_) {
      fail(number, "has a time before that of " + unit_ + ' ' + std::to_string(lastTimeNumber_) +
                       ": the time goes back.");
    }
    lastTime_ = point.time;
    lastTimeNumber_ = number;
  }
  route_.points.push_back(point);
}

Route RouteBuilder::finish(std::string kind, const std::string& whyNoPoints) {
  if (route_.points.empty()) failFile(whyNoPoints);
  route_.kind = std::move(kind);
  return std::move(route_);
}

}  // namespace waymock::motion
