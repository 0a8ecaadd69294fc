#pragma once

// Routes and tracks from the files people have: GPX, KML, CSV and NMEA logs.

#include <cstdint>
#include <string>
#include <string_view>

#include "motion/route.h"

namespace waymock::motion {

enum class RouteFormat {
  // GPX (its tracks, else its routes, else its waypoints) or KML (its
  // gx:Track points, else its LineString coordinates, else its Points), told
  // apart by the root element.
  xml,
  // One point a line: lat,lon[,alt][,time] in decimal degrees (north and east
  // positive), altitude in metres, time as ISO 8601 or Unix seconds; an
  // optional header line names the columns.
  csv,
  // A recorded NMEA log: the fixes of its RMC, GGA and GNS sentences, of a
  // GPS-only or a multi-constellation receiver.
  nmea,
};

// Larger files are refused before anything is read: no route comes near it,
// and parsing one would take several times its size in memory.
inline constexpr std::uintmax_t kMaxRouteFileBytes = 100'000'000;

// The route in the file at `path`, in the format routeFormat gives for its
// name and its first 64 KiB. Every failure, of the file or of its content, is
// an IoError whose message names the file and the problem, never quoting the
// file's text: "harbour.gpx: point 12 has a latitude outside -90 to 90." XML
// and CSV are parsed as they are read, so they take little memory beyond the
// points.
Route readRoute(const std::string& path);

// The format of the file `name` that holds `text`: XML when its first
// character other than blanks is "<" or its name ends in .gpx or .kml; else
// CSV for .csv, NMEA for .nmea, .nma and .log; else NMEA when the text holds
// "$GP", "$GN", "$GL", "$GA" or "$GB" and CSV when it does not.
RouteFormat routeFormat(std::string_view name, std::string_view text);

// The route in `text`, the content of a file, with `source` naming it in
// messages.
Route parseRoute(std::string_view text, RouteFormat format, const std::string& source);

}  // namespace waymock::motion
