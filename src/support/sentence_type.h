#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace waymock {

// The type of an NMEA sentence as people name it, with or without its talker
// and in any case: "GGA", "GPGGA", "GNGGA" and "gngga" are all "GGA". Nothing
// for anything but three or five letters.
std::optional<std::string> sentenceType(std::string_view name);

}  // namespace waymock
