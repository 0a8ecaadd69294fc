#pragma once

// The options that describe the simulated fix, shared by the subcommands that
// build sentences (burst, run). Values go through the generator's validating
// setters, so a rejected value fails with the generator's own message.

#include <memory>
#include <optional>
#include <string>

#include "generator/nmea_generator.h"
#include "support/cardinal_point.h"
#include "support/datetime.h"

namespace CLI {
class App;
}

namespace waymock {
class Clock;
}

namespace waymock::cli {

// Option texts as given, the sentences read already; unset options leave the
// generator's defaults.
struct FixOptions {
  std::optional<std::string> latitude;    // --lat 48:07:02.28N or 48.1173
  std::optional<std::string> longitude;   // --lon 011:31:00E or -11.5
  std::optional<std::string> altitude;    // --alt METRES
  std::optional<std::string> speedKmh;    // --speed KMH
  std::optional<std::string> speedKnots;  // --speed-knots KNOTS
  std::optional<std::string> heading;
  std::optional<std::string> geoid;
  std::optional<std::string> magneticVariation;  // --mag-var 3.1W
  std::optional<std::string> magneticHeading;
  std::optional<std::string> pdop;
  std::optional<std::string> hdop;
  std::optional<std::string> vdop;
  std::optional<generator::TNMEACommands> sentences;  // --sentences GPZDA,GPGGA
  std::optional<std::string> satellites;              // --satellites FILE
  std::optional<std::string> utc;                     // --utc 2024-03-23T12:35:19Z
};

// Adds the options under the help's group "Fix". A malformed --sentences
// throws Error from the parse.
void addFixOptions(CLI::App& command, FixOptions& options);

// The clock the sentences read: fixed at --utc when given, else the system's.
// Throws Error for a malformed --utc.
std::shared_ptr<const Clock> fixClock(const FixOptions& options);

// Writes the options into the generator. Throws Error for malformed text or a
// value the generator rejects, RuntimeFailure for a satellite file that cannot
// be read.
void applyFixOptions(const FixOptions& options, generator::TTarnNMEAGenerator& generator);

// The parsers behind the options, each throwing Error with a message that
// names the option.
struct Coordinate {
  int degree = 0;
  int minute = 0;
  long double second = 0;
  TCardinalPoint direction = TCardinalPoint::cpNorth;
};
// "DEG:MIN:SEC" and a hemisphere letter, such as 48:07:02.28N, or signed
// decimal degrees as on a map, north and east positive (-11.5 is 11.5 W);
// `option` names the option in messages and decides the letters and the range
// (--lat: N/S, else E/W).
Coordinate parseCoordinate(const std::string& text, const std::string& option);
// A finite decimal number such as 545.4 or -12.
long double parseNumber(const std::string& text, const std::string& option);
// "YYYY-MM-DDTHH:MM:SS" with optional fractional seconds and a final "Z".
TDateTime parseUtc(const std::string& text);

}  // namespace waymock::cli
