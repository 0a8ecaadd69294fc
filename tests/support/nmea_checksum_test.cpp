#include "support/nmea_checksum.h"

#include <gtest/gtest.h>

#include <string>

#include "support/number_text.h"

namespace waymock {
namespace {

TEST(NmeaChecksum, ExclusiveOrOfTheBody) {
  struct Case {
    std::string body;
    int sum;
  } cases[] = {
      {"", 0x00},
      {"a", 0x61},
      {"abc", 0x60},
      {"aa", 0x00},
      {"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", 0x47},
      // Long enough for any wide path, with bytes above 0x7F.
      {std::string(1000, 'x') + "\xFF\x80", 0x7F},
      {std::string(1001, 'x'), 'x'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    EXPECT_EQ(nmeaChecksum(c.body), c.sum);
  }
}

TEST(NmeaChecksum, UpperHexDigits) {
  struct Case {
    std::uint8_t byte;
    const char* text;
  } cases[] = {{0x00, "00"}, {0x0A, "0A"}, {0x47, "47"}, {0xBC, "BC"}, {0xFF, "FF"}};
  for (const auto& c : cases) {
    const auto digits = upperHexDigits(c.byte);
    EXPECT_EQ(std::string(digits.begin(), digits.end()), c.text);
  }
}

TEST(NmeaChecksum, DigitsMatch) {
  struct Case {
    const char* digits;
    bool matches;  // against 0x4B
  } cases[] = {
      {"4B", true},    {"4b", true},
      {"04B", true},   {"00000000000000000000004B", true},
      {"4C", false},   {"", false},
      {"4", false},    {"4B ", false},
      {" 4B", false},  {"+4B", false},
      {"0x4B", false}, {"4G", false},
      {"14B", false},  {"FFFFFFFFFFFFFFFFFF4B", false},  // past any byte
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.digits);
    EXPECT_EQ(checksumMatches(c.digits, 0x4B), c.matches);
  }
}

}  // namespace
}  // namespace waymock
