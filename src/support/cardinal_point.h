#pragma once

#include <cstdint>

namespace waymock {

// Hemisphere of a coordinate. Latitude uses north/south, longitude and magnetic
// variation east/west. Generator and receiver share the type, value for value.
enum class TCardinalPoint : std::uint8_t { cpNorth = 0, cpSouth = 1, cpEast = 2, cpWest = 3 };

// The member's own name ("cpNorth"), as exports and diagnostics show it.
constexpr const char* cardinalPointName(TCardinalPoint value) {
  switch (value) {
    case TCardinalPoint::cpNorth:
      return "cpNorth";
    case TCardinalPoint::cpSouth:
      return "cpSouth";
    case TCardinalPoint::cpEast:
      return "cpEast";
    case TCardinalPoint::cpWest:
      return "cpWest";
  }
  return "?";
}

// The hemisphere's letter as NMEA writes it: "N", "S", "E" or "W".
constexpr const char* cardinalPointLetter(TCardinalPoint value) {
  switch (value) {
    case TCardinalPoint::cpNorth:
      return "N";
    case TCardinalPoint::cpSouth:
      return "S";
    case TCardinalPoint::cpEast:
      return "E";
    case TCardinalPoint::cpWest:
      return "W";
  }
  return "?";
}

}  // namespace waymock
