#include "receiver/nmea_fields.h"

#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>

namespace waymock::receiver::nmea {

namespace {

constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Powers of ten that a long double holds exactly (5^27 < 2^64).
constexpr int kExactPowers = 28;
constexpr std::array<long double, kExactPowers> kPow10 = [] {
  std::array<long double, kExactPowers> p{};
  long double v = 1;
  for (auto& x : p) {
    x = v;
    v *= 10;
  }
  return p;
}();

// Slow path for digit strings too long to convert exactly by hand.
long double parseLong(std::string_view digitsAndPoint) {
  long double value = 0;
  const auto [ptr, ec] =
      std::from_chars(digitsAndPoint.data(), digitsAndPoint.data() + digitsAndPoint.size(), value);
  if (ec == std::errc::result_out_of_range) return std::numeric_limits<long double>::infinity();
  return value;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::optional<long double> readNumber(std::string_view text) {
  std::uint64_t mantissa = 0;
  int digits = 0;
  int fractionDigits = 0;
  int points = 0;
  for (const char c : text) {
    if (isDigit(c)) {
      mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
      ++digits;
      if (points) ++fractionDigits;
    } else if (c == '.') {
      ++points;
    } else {
      return 0.0L;  // a sign, a space or a letter: the whole number reads as 0
    }
  }
  if (points > 1 || (points == 1 && digits == 0)) return std::nullopt;
  if (digits == 0) return 0.0L;
  // Up to 19 digits the mantissa is exact, and one division by an exact power
  // of ten rounds correctly.
  if (digits <= 19 && fractionDigits < kExactPowers)
    return static_cast<long double>(mantissa) / kPow10[static_cast<std::size_t>(fractionDigits)];
  return parseLong(text);
}

std::optional<int> readInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (!isDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > std::int64_t{std::numeric_limits<int>::max()} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(value);
}

namespace {

// Seconds from the fractional minutes: the fraction read as an integer, times
// 60, over 10 to the fraction's length. Long fractions are computed at long
// double precision instead of overflowing.
std::optional<long double> fractionSeconds(std::string_view fraction) {
  const std::size_t length = fraction.size();
  std::string_view digits = fraction;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return std::nullopt;
  for (const char c : digits)
    if (!isDigit(c)) return std::nullopt;

  long double seconds;
  if (length <= 17) {
    std::uint64_t n = 0;
    for (const char c : digits) n = n * 10 + static_cast<unsigned>(c - '0');
    seconds = static_cast<long double>(n * 60) / kPow10[length];
  } else {
    std::string text = "0.";
    text.append(digits);
    seconds = parseLong(text) * 60;
    if (length > digits.size()) seconds /= 10;  // the sign counts in the length
  }
  return negative ? -seconds : seconds;
}

// Splits at the first "." when it is not the first character.
void splitAtPoint(std::string_view text, std::string_view& whole, std::string_view& fraction) {
  const auto dot = text.find('.');
  if (dot != std::string_view::npos && dot >= 1) {
    whole = text.substr(0, dot);
    fraction = text.substr(dot + 1);
  } else {
    whole = text;
    fraction = {};
  }
}

}  // namespace

std::optional<CoordinateParts> splitCoordinate(std::string_view text) {
  std::string_view whole, fraction;
  splitAtPoint(text, whole, fraction);
  CoordinateParts parts;
  if (!fraction.empty()) {
    const auto seconds = fractionSeconds(fraction);
    if (!seconds) return std::nullopt;
    parts.second = *seconds;
  }
  if (whole.size() <= 2) {
    const auto minute = readInteger(whole);
    if (!minute) return std::nullopt;
    parts.minute = *minute;
  } else {
    const auto minute = readInteger(whole.substr(whole.size() - 2));
    const auto degree = readInteger(whole.substr(0, whole.size() - 2));
    if (!minute || !degree) return std::nullopt;
    parts.minute = *minute;
    parts.degree = *degree;
  }
  return parts;
}

std::optional<TimeParts> readTime(std::string_view text) {
  std::string_view whole, fraction;
  splitAtPoint(text, whole, fraction);
  TimeParts parts;
  if (!fraction.empty()) {
    const auto f = readInteger(fraction);
    if (!f) return std::nullopt;
    parts.fraction = *f;
  }
  std::optional<int> hour = 0, minute = 0, second;
  const std::size_t n = whole.size();
  if (n >= 5) {
    second = readInteger(whole.substr(n - 2));
    minute = readInteger(whole.substr(n - 4, 2));
    hour = readInteger(whole.substr(0, n - 4));
  } else if (n >= 3) {
    second = readInteger(whole.substr(n - 2));
    minute = readInteger(whole.substr(0, n - 2));
  } else {
    second = readInteger(whole);
  }
  if (!hour || !minute || !second) return std::nullopt;
  parts.hour = *hour;
  parts.minute = *minute;
  parts.second = *second;
  return parts;
}

std::optional<DateParts> readDate(std::string_view text) {
  const std::size_t n = text.size();
  std::optional<int> day, month, year;
  if (n >= 7) {
    year = readInteger(text.substr(n - 4));
    month = readInteger(text.substr(n - 6, 2));
    day = readInteger(text.substr(0, n - 6));
  } else if (n >= 5) {
    const char century[4] = {'2', '0', text[n - 2], text[n - 1]};
    year = readInteger(std::string_view(century, 4));
    month = readInteger(text.substr(n - 4, 2));
    day = readInteger(text.substr(0, n - 4));
  } else {
    return std::nullopt;
  }
  if (!day || !month || !year) return std::nullopt;
  return DateParts{*day, *month, *year};
}

bool checksumValid(std::string_view sentence) {
  const auto star = sentence.find('*');
  if (star == std::string_view::npos || star == 0) return false;

  // Exclusive-or of everything between the "$" and the "*", a word at a time.
  const char* p = sentence.data() + 1;
  const char* const end = sentence.data() + star;
  std::uint64_t wide = 0;
  for (; end - p >= 8; p += 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    wide ^= word;
  }
  wide ^= wide >> 32;
  wide ^= wide >> 16;
  wide ^= wide >> 8;
  unsigned computed = static_cast<unsigned>(wide & 0xFF);
  for (; p < end; ++p) computed ^= static_cast<unsigned char>(*p);

  const std::string_view given = sentence.substr(star + 1);
  if (given.empty()) return false;
  unsigned value = 0;
  for (const char c : given) {
    const int digit = hexValue(c);
    if (digit < 0) return false;
    // Leading zeros are allowed in any number; past 0xFF no byte can match.
    value = value > 0xFF ? 0x100 : value * 16 + static_cast<unsigned>(digit);
  }
  return value == computed;
}

}  // namespace waymock::receiver::nmea
