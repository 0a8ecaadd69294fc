#include "support/nmea_checksum.h"

#include <charconv>

namespace waymock {

std::uint8_t nmeaChecksum(std::string_view body) {
  std::uint8_t sum = 0;
  for (const char c : body) sum ^= static_cast<std::uint8_t>(c);
  return sum;
}

bool checksumMatches(std::string_view digits, std::uint8_t checksum) {
  const char* const end = digits.data() + digits.size();
  unsigned value = 0;
  const auto [stop, error] = std::from_chars(digits.data(), end, value, 16);
  // Digits past the type's range are an error here, and match no byte anyway.
  return error == std::errc() && stop == end && value == checksum;
}

}  // namespace waymock
