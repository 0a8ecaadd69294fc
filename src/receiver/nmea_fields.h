#pragma once

// Field reading and number conversion for incoming sentences. Everything here
// works on views into the sentence and never allocates in the common case; the
// conversions are inline because they run for nearly every field.

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace waymock::receiver::nmea {

// Fields are short: a plain loop beats a library search call.
inline std::string_view::size_type findChar(std::string_view text, char c) {
  for (std::string_view::size_type i = 0; i < text.size(); ++i)
    if (text[i] == c) return i;
  return std::string_view::npos;
}

// Reads fields by position. Field n is the text between the n-th comma and the
// next one; a field that no comma follows reads as empty (the checksum suffix
// is not a field), except where the caller asks for the text up to the "*".
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view sentence) : rest_(sentence), comma_(findComma(sentence)) {}

  // Moves on to field n (fields only ever move forward) and returns its text.
  std::string_view field(int n) {
    moveTo(n);
    return comma_ == std::string_view::npos ? std::string_view{} : rest_.substr(0, comma_);
  }
  // Field n, or, when it is the last field, its text up to the "*".
  std::string_view fieldToAsterisk(int n) {
    moveTo(n);
    if (comma_ != std::string_view::npos) return rest_.substr(0, comma_);
    const auto star = findChar(rest_, '*');
    return star == std::string_view::npos ? std::string_view{} : rest_.substr(0, star);
  }
  // The text not yet passed, starting with the current field.
  std::string_view rest() const { return rest_; }

 private:
  void moveTo(int n) {
    while (current_ < n) {
      ++current_;
      if (comma_ == std::string_view::npos) continue;  // past the last comma: stay
      rest_.remove_prefix(comma_ + 1);
      comma_ = findComma(rest_);
    }
  }
  static std::string_view::size_type findComma(std::string_view text) {
    return findChar(text, ',');
  }

  std::string_view rest_;
  std::string_view::size_type comma_;
  int current_ = 0;
};

namespace detail {

constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Powers of ten that a long double holds exactly (5^27 < 2^64).
inline constexpr int kExactPowers = 28;
inline constexpr std::array<long double, kExactPowers> kPow10 = [] {
  std::array<long double, kExactPowers> p{};
  long double v = 1;
  for (auto& x : p) {
    x = v;
    v *= 10;
  }
  return p;
}();

inline bool allDigits(std::string_view text) {
  bool ok = true;
  for (const char c : text) ok &= isDigit(c);
  return ok;
}
inline int twoDigits(const char* p) {
  return (p[0] - '0') * 10 + (p[1] - '0');
}

// Conversions of digit strings too long for the exact fast paths.
// Nothing when the value is too large for a long double; 0 when too small.
std::optional<long double> readLongNumber(std::string_view digitsAndPoint);
long double longFractionSeconds(std::string_view digits, std::size_t length);

}  // namespace detail

// Reads a number the way sentences carry it: digits with at most one ".".
// Empty text, or text holding anything but digits and ".", reads as 0 (so a
// sign makes a value 0); nullopt means unusable (two points, a lone point, or
// a value too large for a long double). A value too small for one reads as 0,
// so the result is always finite.
// Independent of the user's locale.
// By hand: std::from_chars for long double goes through the C library's
// strtold here, several times slower than this loop on the usual short fields.
inline std::optional<long double> readNumber(std::string_view text) {
  std::uint64_t mantissa = 0;
  int digits = 0;
  int fractionDigits = 0;
  int points = 0;
  for (const char c : text) {
    if (detail::isDigit(c)) {
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
  if (digits <= 19 && fractionDigits < detail::kExactPowers)
    return static_cast<long double>(mantissa) /
           detail::kPow10[static_cast<std::size_t>(fractionDigits)];
  return detail::readLongNumber(text);
}

// An optional sign and decimal digits within the 32-bit range; nullopt
// otherwise (empty text included). Inline: it runs for most fields, and a call
// returning the optional through memory costs more than the conversion.
inline std::optional<int> readInteger(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  // std::from_chars takes a "-" but no "+".
  if (p != end && *p == '+' && ++p != end && *p == '-') return std::nullopt;
  int value = 0;
  const auto [stop, error] = std::from_chars(p, end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

struct CoordinateParts {
  int degree = 0;
  int minute = 0;
  long double second = 0;
};
struct TimeParts {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int fraction = 0;  // the digits after the point, as a whole number
};
struct DateParts {
  int day = 0;
  int month = 0;
  int year = 0;
};
// True when the field, upper-cased, is exactly the one letter.
inline bool isLetter(std::string_view field, char upper) {
  return field.size() == 1 && (field[0] == upper || field[0] == upper + ('a' - 'A'));
}

namespace detail {

// Seconds from the fractional minutes: the fraction read as an integer, times
// 60, over 10 to the fraction's length. Long fractions are computed at long
// double precision instead of overflowing.
inline std::optional<long double> fractionSeconds(std::string_view fraction) {
  const std::size_t length = fraction.size();
  std::string_view digits = fraction;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return std::nullopt;
  const char* const end = digits.data() + digits.size();
  std::uint64_t n = 0;
  // Digits beyond the type's range still read to the end; the long form takes them.
  if (std::from_chars(digits.data(), end, n).ptr != end) return std::nullopt;

  const long double seconds = length <= 17
                                  ? static_cast<long double>(n * 60) / detail::kPow10[length]
                                  : detail::longFractionSeconds(digits, length);
  return negative ? -seconds : seconds;
}

// Splits at the first "." when it is not the first character.
inline void splitAtPoint(std::string_view text, std::string_view& whole,
                         std::string_view& fraction) {
  const auto dot = findChar(text, '.');
  if (dot != std::string_view::npos && dot >= 1) {
    whole = text.substr(0, dot);
    fraction = text.substr(dot + 1);
  } else {
    whole = text;
    fraction = {};
  }
}

}  // namespace detail

// Splits ddmm.mmmm / dddmm.mmmm: the whole part's last two digits are minutes,
// the digits before them degrees, the fractional minutes times 60 seconds.
inline std::optional<CoordinateParts> splitCoordinate(std::string_view text) {
  std::string_view whole, fraction;
  detail::splitAtPoint(text, whole, fraction);
  CoordinateParts parts;
  if (!fraction.empty()) {
    const auto seconds = detail::fractionSeconds(fraction);
    if (!seconds) return std::nullopt;
    parts.second = *seconds;
  }
  if ((whole.size() == 4 || whole.size() == 5) && detail::allDigits(whole)) {
    // ddmm or dddmm, as nearly every sentence sends it.
    const char* p = whole.data();
    parts.degree =
        whole.size() == 4 ? detail::twoDigits(p) : (p[0] - '0') * 100 + detail::twoDigits(p + 1);
    parts.minute = detail::twoDigits(p + whole.size() - 2);
  } else if (whole.size() <= 2) {
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

// hhmmss with an optional fraction; shorter whole parts fill from the seconds.
inline std::optional<TimeParts> readTime(std::string_view text) {
  std::string_view whole, fraction;
  detail::splitAtPoint(text, whole, fraction);
  TimeParts parts;
  if (!fraction.empty()) {
    const auto f = readInteger(fraction);
    if (!f) return std::nullopt;
    parts.fraction = *f;
  }
  const std::size_t n = whole.size();
  if (n == 6 && detail::allDigits(whole)) {  // hhmmss, as nearly every sentence sends it
    parts.hour = detail::twoDigits(whole.data());
    parts.minute = detail::twoDigits(whole.data() + 2);
    parts.second = detail::twoDigits(whole.data() + 4);
    return parts;
  }
  std::optional<int> hour = 0, minute = 0, second;
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

// ddmmyyyy, or ddmmyy meaning 2000 to 2099.
inline std::optional<DateParts> readDate(std::string_view text) {
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

// The checksum suffix test: "*" followed only by hexadecimal digits (either
// case, any count) whose value equals the exclusive-or of everything between
// the "$" and the "*".
bool checksumValid(std::string_view sentence);

}  // namespace waymock::receiver::nmea
