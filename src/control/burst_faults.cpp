#include "control/burst_faults.h"

#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "generator/nmea_generator.h"
#include "support/datetime.h"
#include "support/nmea_checksum.h"
#include "support/number_text.h"

namespace waymock::control {

namespace {

// A sentence split at its commas, from the address ("GPGGA") to the last
// field before "*".
struct Sentence {
  std::vector<std::string> fields;

  std::string type() const {
    return fields[0].size() >= 3 ? fields[0].substr(fields[0].size() - 3) : "";
  }
  bool has(std::size_t i) const { return i < fields.size(); }
  void set(std::size_t i, std::string value) {
    if (has(i)) fields[i] = std::move(value);
  }
  void clear(std::size_t from, std::size_t to) {
    for (std::size_t i = from; i <= to; ++i) set(i, "");
  }
  std::string body() const {
    std::string text = "$";
    for (std::size_t i = 0; i < fields.size(); ++i) text += (i == 0 ? "" : ",") + fields[i];
    return text;
  }
  std::string text() const {
    const std::string b = body();
    return b + "*" + generator::TTarnNMEAGenerator::CheckSum(b) + "\r\n";
  }
};

std::optional<Sentence> parse(std::string_view line) {
  if (!line.starts_with('$')) return std::nullopt;
  const auto star = line.find('*');
  if (star == std::string_view::npos) return std::nullopt;
  Sentence s;
  std::string_view rest = line.substr(1, star - 1);
  for (;;) {
    const auto comma = rest.find(',');
    s.fields.emplace_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return s;
}

void noFix(Sentence& s) {
  const std::string t = s.type();
  if (t == "GGA") {
    s.clear(2, 5);
    s.set(6, "0");
    s.set(7, "00");
  } else if (t == "RMC") {
    s.set(2, "V");
    s.clear(3, 8);
    s.set(12, "N");
  } else if (t == "GLL") {
    s.clear(1, 4);
    s.set(6, "V");
    s.set(7, "N");
  } else if (t == "VTG") {
    s.clear(1, 1);
    s.clear(3, 3);
    s.clear(5, 5);
    s.clear(7, 7);
    s.set(9, "N");
  } else if (t == "GSA") {
    s.set(2, "1");
    s.clear(3, 14);
  }
}

void satellitesLost(Sentence& s) {
  if (s.type() != "GSV") return;
  for (std::size_t i = 7; i < s.fields.size(); i += 4) s.set(i, "00");
}

std::string numberText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  std::string out(text, result.ptr);
  while (out.ends_with('0')) out.pop_back();
  if (out.ends_with('.')) out.pop_back();
  return out;
}

void hdopDegrade(Sentence& s, double hdop) {
  if (s.type() == "GGA") s.set(8, numberText(hdop));
  if (s.type() == "GSA") s.set(16, numberText(hdop));
}

// The time field's position, and the date's (one ddmmyy or ddmmyyyy field, or
// the standard ZDA's three fields), by sentence type.
struct TimeFields {
  std::size_t time = 0;
  std::size_t date = 0;  // 0: none
};
TimeFields timeFields(const Sentence& s) {
  const std::string t = s.type();
  if (t == "GGA" || t == "RMC" || t == "ZDA") return {1, t == "RMC" ? 9u : t == "ZDA" ? 2u : 0u};
  if (t == "GLL") return {5, 0};
  return {};
}

bool digits(std::string_view text, std::size_t count) {
  if (text.size() < count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}
int twoDigits(std::string_view text, std::size_t at) {
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}
std::string padded(long long value, int width) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*lld", width, value);
  return text;
}

// Moves the time of day and the date by `shift` seconds; fractions of a
// second keep their digits.
void timeShift(Sentence& s, double shift) {
  const TimeFields at = timeFields(s);
  if (at.time == 0 || !s.has(at.time) || !digits(s.fields[at.time], 6)) return;
  std::string& time = s.fields[at.time];
  const long long whole = std::llround(std::floor(shift));
  const long long seconds =
      twoDigits(time, 0) * 3600 + twoDigits(time, 2) * 60 + twoDigits(time, 4) + whole;
  const long long days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  const long long of = seconds - days * 86400;
  time = padded(of / 3600, 2) + padded(of / 60 % 60, 2) + padded(of % 60, 2) + time.substr(6);
  if (at.date == 0 || !s.has(at.date)) return;
  std::string& date = s.fields[at.date];
  const bool threeFields = s.type() == "ZDA" && s.has(at.date + 2) && date.size() == 2;
  int day = 0, month = 0, year = 0;
  if (threeFields && digits(date, 2) && digits(s.fields[at.date + 1], 2) &&
      digits(s.fields[at.date + 2], 4)) {
    day = twoDigits(date, 0);
    month = twoDigits(s.fields[at.date + 1], 0);
    year = std::stoi(s.fields[at.date + 2]);
  } else if (digits(date, 6) && (date.size() == 6 || date.size() == 8)) {
    day = twoDigits(date, 0);
    month = twoDigits(date, 2);
    year = date.size() == 8 ? std::stoi(date.substr(4, 4)) : 2000 + twoDigits(date, 4);
  } else {
    return;
  }
  // Four-digit years only: a shift past them stops at the first or last day.
  civilFromDays(std::clamp<std::int64_t>(daysFromCivil(year, month, day) + days,
                                         daysFromCivil(0, 1, 1), daysFromCivil(9999, 12, 31)),
                year, month, day);
  if (threeFields) {
    date = padded(day, 2);
    s.fields[at.date + 1] = padded(month, 2);
    s.fields[at.date + 2] = padded(year, 4);
  } else if (date.size() == 8) {
    date = padded(day, 2) + padded(month, 2) + padded(year, 4);
  } else {
    date = padded(day, 2) + padded(month, 2) + padded(year % 100, 2);
  }
}

void leapSecond(Sentence& s) {
  const TimeFields at = timeFields(s);
  if (at.time == 0 || !s.has(at.time) || !digits(s.fields[at.time], 6)) return;
  s.fields[at.time] = "235960" + s.fields[at.time].substr(6);
}

// Where a sentence's latitude is (its hemisphere, longitude and hemisphere
// follow); 0 for a sentence without a position.
std::size_t positionField(const Sentence& s) {
  const std::string t = s.type();
  if (t == "GGA" || t == "GNS") return 2;
  if (t == "RMC") return 3;
  if (t == "GLL") return 1;
  return 0;
}

// "4807.0380" and "N" (`degreeDigits` 2; 3 for a longitude) as signed degrees.
std::optional<double> angleOf(const std::string& text, const std::string& hemisphere,
                              std::size_t degreeDigits) {
  if (!digits(text, degreeDigits + 2) || hemisphere.size() != 1) return std::nullopt;
  double minutes = 0;
  const char* first = text.data() + degreeDigits;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), minutes);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  const double degrees = std::stoi(text.substr(0, degreeDigits)) + minutes / 60;
  return hemisphere == "S" || hemisphere == "W" ? -degrees : degrees;
}

// Degrees as the field was written: `degreeDigits` digits of degrees, the
// minutes with `decimals` decimals.
std::string angleText(double degrees, std::size_t degreeDigits, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const auto units = static_cast<long long>(std::llround(std::abs(degrees) * 60 * scale));
  const long long minuteUnits = 60 * static_cast<long long>(scale);
  const long long whole = units / minuteUnits;
  const double minutes = static_cast<double>(units % minuteUnits) / scale;
  char text[48];
  const int width = static_cast<int>(degreeDigits);
  std::snprintf(text, sizeof text, "%0*lld%s", width, whole, minutes < 10 ? "0" : "");
  char* const start = text + std::strlen(text);
  *std::to_chars(start, text + sizeof text - 1, minutes, std::chars_format::fixed, decimals).ptr =
      '\0';
  return text;
}

// Writes the position `metres` away along the geodesic at `bearing`, in the
// sentence's own form; a sentence without a position stays as it is.
void jump(Sentence& s, double metres, double bearing) {
  const std::size_t at = positionField(s);
  if (at == 0 || !s.has(at + 3)) return;
  const auto latitude = angleOf(s.fields[at], s.fields[at + 1], 2);
  const auto longitude = angleOf(s.fields[at + 2], s.fields[at + 3], 3);
  if (!latitude || !longitude) return;
  double toLatitude = 0;
  double toLongitude = 0;
  GeographicLib::Geodesic::WGS84().Direct(*latitude, *longitude, bearing, metres, toLatitude,
                                          toLongitude);
  toLongitude = std::remainder(toLongitude, 360.0);
  const auto decimals = [&s](std::size_t field) {
    const auto point = s.fields[field].find('.');
    return point == std::string::npos ? 0 : static_cast<int>(s.fields[field].size() - point - 1);
  };
  const int latitudeDecimals = decimals(at);
  const int longitudeDecimals = decimals(at + 2);
  s.fields[at] = angleText(toLatitude, 2, latitudeDecimals);
  s.fields[at + 1].assign(1, toLatitude < 0 ? 'S' : 'N');
  s.fields[at + 2] = angleText(toLongitude, 3, longitudeDecimals);
  s.fields[at + 3].assign(1, toLongitude < 0 ? 'W' : 'E');
}

bool matches(const Fault& fault, const Sentence& s) {
  return fault.sentence.empty() || s.type() == fault.sentence;
}

// The sentence's new text; empty to leave it out.
std::string rewrite(const Fault& fault, Sentence& s, std::string_view line) {
  switch (fault.type) {
    case FaultType::noFix:
      noFix(s);
      break;
    case FaultType::satellitesLost:
      satellitesLost(s);
      break;
    case FaultType::hdopDegrade:
      hdopDegrade(s, fault.hdop);
      break;
    case FaultType::timeShift:
      timeShift(s, fault.shiftSeconds);
      break;
    case FaultType::leapSecond:
      leapSecond(s);
      break;
    case FaultType::jump:
      jump(s, fault.metres, fault.bearing);
      break;
    case FaultType::dropSentence:
      return matches(fault, s) ? std::string() : std::string(line);
    case FaultType::badChecksum: {
      if (!matches(fault, s)) return std::string(line);
      const std::string b = s.body();
      // The bits turned over: never the right sum by chance.
      const auto hex = upperHexDigits(static_cast<std::uint8_t>(nmeaChecksum(b.substr(1)) ^ 0xFFu));
      return b + "*" + std::string(hex.data(), hex.size()) + "\r\n";
    }
    case FaultType::truncatedLine: {
      if (!matches(fault, s)) return std::string(line);
      const std::string b = s.body();
      return b.substr(0, b.size() / 2) + "\r\n";
    }
    default:
      return std::string(line);
  }
  return s.text();
}

}  // namespace

void applyTextFault(const Fault& fault, std::string& burst) {
  std::string out;
  out.reserve(burst.size());
  std::size_t start = 0;
  while (start < burst.size()) {
    std::size_t end = burst.find('\n', start);
    end = end == std::string::npos ? burst.size() : end + 1;
    const std::string_view line(burst.data() + start, end - start);
    start = end;
    std::optional<Sentence> s = parse(line);
    if (!s) {
      out += line;
      continue;
    }
    out += rewrite(fault, *s, line);
  }
  burst = std::move(out);
}

}  // namespace waymock::control
