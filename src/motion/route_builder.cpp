#include "motion/route_builder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "support/datetime.h"
#include "support/error.h"
#include "support/number_text.h"
#include "support/shown_text.h"

namespace waymock::motion {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
// The years a time may name: four digits, so that every time has a text.
constexpr double kEarliestTime = -62'167'219'200;  // 0000-01-01T00:00:00Z
constexpr double kLatestTime = 253'402'300'800;    // 10000-01-01T00:00:00Z

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
  // The digits after a decimal point as a fraction; nothing when there are none.
  std::optional<double> fraction() {
    const std::size_t start = at_;
    at_ = std::min(text_.find_first_not_of("0123456789", at_), text_.size());
    const auto value = readFractionDigits(text_.substr(start, at_ - start));
    if (!value) return std::nullopt;
    return static_cast<double>(*value);
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

std::optional<double> parseIsoTime(std::string_view text) {
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
  double fraction = 0;
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
  return static_cast<double>(*days * kSecondsPerDay + *hour * 3600 + *minute * 60 + *second -
                             offset * 60) +
         fraction;
}

std::string isoTimeText(double seconds) {
  const auto milliseconds = static_cast<std::int64_t>(
      std::llround(std::clamp(seconds, kEarliestTime, kLatestTime - 0.001) * 1000));
  std::int64_t days = milliseconds / (kSecondsPerDay * 1000);
  std::int64_t rest = milliseconds % (kSecondsPerDay * 1000);
  if (rest < 0) {
    rest += kSecondsPerDay * 1000;
    --days;
  }
  int year = 0, month = 0, day = 0;
  civilFromDays(days + daysFromCivil(1970, 1, 1), year, month, day);
  const auto second = static_cast<int>(rest / 1000);
  char text[40];
  int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day,
                             second / 3600, second / 60 % 60, second % 60);
  if (const int ms = static_cast<int>(rest % 1000); ms != 0) {
    length +=
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), ".%03d", ms);
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
  return value;
}

std::optional<double> RouteBuilder::time(std::string_view text, std::size_t number,
                                         bool unixSeconds) const {
  text = trimmed(text);
  if (text.empty()) return std::nullopt;
  if (unixSeconds) {
    const auto seconds = parseDecimal(text);
    if (seconds && *seconds >= kEarliestTime && *seconds < kLatestTime) return seconds;
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
