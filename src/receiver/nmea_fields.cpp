#include "receiver/nmea_fields.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <string>

namespace waymock::receiver::nmea {

namespace detail {

long double readLongNumber(std::string_view digitsAndPoint) {
  long double value = 0;
  const auto [ptr, ec] =
      std::from_chars(digitsAndPoint.data(), digitsAndPoint.data() + digitsAndPoint.size(), value);
  if (ec == std::errc::result_out_of_range) return std::numeric_limits<long double>::infinity();
  return value;
}

long double longFractionSeconds(std::string_view digits, std::size_t length) {
  std::string text = "0.";
  text.append(digits);
  long double seconds = readLongNumber(text) * 60;
  if (length > digits.size()) seconds /= 10;  // the sign counts in the length
  return seconds;
}

}  // namespace detail

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

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
