#include "receiver/nmea_fields.h"

#include <charconv>

#include "support/nmea_checksum.h"
#include "support/number_text.h"

namespace waymock::receiver::nmea {

namespace detail {

std::optional<long double> readLongNumber(std::string_view digitsAndPoint) {
  long double value = 0;
  const auto [ptr, ec] =
      std::from_chars(digitsAndPoint.data(), digitsAndPoint.data() + digitsAndPoint.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Out of range one way or the other: a nonzero digit before the point
    // means too large for the type, which no field can use; otherwise the
    // value is too small to tell from 0.
    for (const char c : digitsAndPoint) {
      if (c == '.') break;
      if (c != '0') return std::nullopt;
    }
    return 0.0L;
  }
  return value;
}

long double longFractionSeconds(std::string_view digits, std::size_t length) {
  long double seconds = readFractionDigits(digits).value_or(0) * 60;
  if (length > digits.size()) seconds /= 10;  // the sign counts in the length
  return seconds;
}

}  // namespace detail

bool checksumValid(std::string_view sentence) {
  if (sentence.empty() || sentence[0] == '*') return false;
  const auto star = sentence.find('*', 1);
  if (star == std::string_view::npos) return false;
  return checksumMatches(sentence.substr(star + 1), nmeaChecksum(sentence.substr(1, star - 1)));
}

}  // namespace waymock::receiver::nmea
