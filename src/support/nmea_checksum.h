#pragma once

// The checksum every NMEA 0183 sentence carries after its "*": the
// exclusive-or of the bytes between the "$" and the "*", written as two
// uppercase hexadecimal digits (upperHexDigits). The generator writes it, the
// receiver checks it.

#include <cstdint>
#include <string_view>

namespace waymock {

// The exclusive-or of every byte of `body`, the text after the "$" up to, not
// including, the "*".
std::uint8_t nmeaChecksum(std::string_view body);

// True when `digits`, the text after the "*", is one or more hexadecimal
// digits of either case (leading zeros allowed) whose value is `checksum`.
bool checksumMatches(std::string_view digits, std::uint8_t checksum);

}  // namespace waymock
