#include "receiver/nmea_fields.h"

#include <charconv>
#include <cstring>
#include <string>

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
  std::string text = "0.";
  text.append(digits);
  long double seconds = readLongNumber(text).value_or(0) * 60;
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
  if (sentence.empty() || sentence[0] == '*') return false;

  // One pass, a word at a time: the exclusive-or of everything after the "$",
  // up to the first "*", which is found in the same words.
  const char* const begin = sentence.data();
  const char* const end = begin + sentence.size();
  const char* p = begin + 1;
  std::uint64_t wide = 0;
  std::size_t star = std::string_view::npos;
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  for (; end - p >= 8; p += 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    const std::uint64_t x = word ^ (kOnes * '*');
    // The lowest flagged byte is the first "*" (higher flags may be false).
    const std::uint64_t found = (x - kOnes) & ~x & kHighs;
    if (found) {
      const auto before = static_cast<unsigned>(__builtin_ctzll(found)) / 8;
      if (before) wide ^= word & ((std::uint64_t{1} << (8 * before)) - 1);
      star = static_cast<std::size_t>(p - begin) + before;
      break;
    }
    wide ^= word;
  }
  if (star == std::string_view::npos) {
    for (; p < end; ++p) {
      if (*p == '*') break;
      wide ^= static_cast<unsigned char>(*p);
    }
    if (p == end) return false;
    star = static_cast<std::size_t>(p - begin);
  }
  wide ^= wide >> 32;
  wide ^= wide >> 16;
  wide ^= wide >> 8;
  const auto computed = static_cast<unsigned>(wide & 0xFF);

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
