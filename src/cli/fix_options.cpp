#include "cli/fix_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <string_view>

#include "cli/commands.h"
#include "cli/option_checks.h"
#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "support/error.h"
#include "support/number_text.h"
#include "support/regular_file.h"
#include "support/sentence_type.h"
#include "support/shown_text.h"

namespace waymock::cli {

namespace {

using generator::TNMEACommand;
using generator::TNMEACommands;

// The burst order, which is also the order the help text lists them in.
constexpr std::array<std::pair<std::string_view, TNMEACommand>, 7> kSentenceNames = {{
    {"GPZDA", TNMEACommand::GPZDA},
    {"GPGGA", TNMEACommand::GPGGA},
    {"GPGLL", TNMEACommand::GPGLL},
    {"GPVTG", TNMEACommand::GPVTG},
    {"GPRMC", TNMEACommand::GPRMC},
    {"GPGSA", TNMEACommand::GPGSA},
    {"GPGSV", TNMEACommand::GPGSV},
}};

// Option texts are shown with control characters escaped and cut when long.
std::string inQuotes(std::string_view text) {
  return "\"" + shownText(text) + "\"";
}

// Digits only; a value too large for an int still reaches the setter, which
// rejects it with its own message.
std::optional<int> parseWhole(std::string_view text) {
  if (text.empty()) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range || value > INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

std::optional<long double> parseDecimal(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  long double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr const char* kSentenceList = "GPZDA, GPGGA, GPGLL, GPVTG, GPRMC, GPGSA, GPGSV";

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Spells each item of the list as the burst does ("gll", "gpgll" and "GNGLL"
// are GPGLL); a blank item is left empty, for the list's own check.
CLI::Validator sentenceName() {
  return CLI::Validator(
      [](std::string& item) {
        const std::string given(trimmed(item));
        const auto type = sentenceType(given);
        item.clear();
        for (const auto& [name, command] : kSentenceNames) {
          if (type && name.substr(2) == *type) item = name;
        }
        if (item.empty() && !given.empty()) {
          raise("--sentences: unknown sentence " + inQuotes(given) + " (choose from " +
                kSentenceList + ").");
        }
        return std::string();
      },
      "", "sentence");
}

TNMEACommands sentenceSet(const std::vector<std::string>& names) {
  TNMEACommands set;
  for (const std::string& name : names) {
    for (const auto& [candidate, command] : kSentenceNames) {
      if (candidate == name) set.insert(command);
    }
  }
  // An empty burst is never sent, so a run with it would wait forever.
  if (set.empty()) {
    raise(std::string("--sentences: the list is empty; name at least one of ") + kSentenceList +
          ".");
  }
  return set;
}

}  // namespace

long double parseNumber(const std::string& text, const std::string& option) {
  const auto value = parseDecimal(text);
  if (!value) raise(option + ": " + inQuotes(text) + " is not a number.");
  return *value;
}

namespace {

// Signed decimal degrees as a map shows them, north and east positive. The
// generator's own signed form counts north and west positive, so it is not
// used here.
Coordinate decimalCoordinate(long double value, const std::string& text, const std::string& option,
                             bool latitude) {
  const long double limit = latitude ? 90 : 180;
  if (!(value >= -limit && value <= limit)) {
    raise(option + ": " + inQuotes(text) + " is out of range; it must be from " +
          numberText(-limit) + " to " + numberText(limit) + ".");
  }
  Coordinate c;
  c.direction = latitude ? (value < 0 ? TCardinalPoint::cpSouth : TCardinalPoint::cpNorth)
                         : (value < 0 ? TCardinalPoint::cpWest : TCardinalPoint::cpEast);
  const long double total = std::fabs(value) * 3600;
  c.degree = static_cast<int>(std::floor(total / 3600));
  const long double rest = total - c.degree * 3600.0L;
  c.minute = static_cast<int>(std::floor(rest / 60));
  // Rounding may leave a hair below 0 or at 60; either is the next whole minute.
  c.second = std::max(rest - c.minute * 60.0L, 0.0L);
  if (c.second >= 60) {
    c.second = 0;
    if (++c.minute == 60) {
      c.minute = 0;
      ++c.degree;
    }
  }
  return c;
}

}  // namespace

Coordinate parseCoordinate(const std::string& text, const std::string& option) {
  const bool latitude = option == "--lat";
  const std::string form =
      latitude ? "DEG:MIN:SEC followed by N or S (48:07:02.28N) or decimal degrees, north "
                 "positive (-33.5 is 33.5 S)"
               : "DEG:MIN:SEC followed by E or W (011:31:00E) or decimal degrees, east "
                 "positive (-11.5 is 11.5 W)";
  const auto malformed = [&] { raise(option + ": " + inQuotes(text) + " is not " + form + "."); };
  if (text.find(':') == std::string::npos) {
    const auto value = parseDecimal(text);
    if (!value) malformed();
    return decimalCoordinate(*value, text, option, latitude);
  }
  if (text.size() < 2) malformed();
  Coordinate c;
  switch (upper(text.back())) {
    case 'N':
      c.direction = TCardinalPoint::cpNorth;
      break;
    case 'S':
      c.direction = TCardinalPoint::cpSouth;
      break;
    case 'E':
      c.direction = TCardinalPoint::cpEast;
      break;
    case 'W':
      c.direction = TCardinalPoint::cpWest;
      break;
    default:
      malformed();
  }
  const bool northSouth =
      c.direction == TCardinalPoint::cpNorth || c.direction == TCardinalPoint::cpSouth;
  if (northSouth != latitude) malformed();
  const std::string_view body(text.data(), text.size() - 1);
  const auto first = body.find(':');
  const auto second = first == std::string_view::npos ? first : body.find(':', first + 1);
  if (second == std::string_view::npos) malformed();
  const auto degree = parseWhole(body.substr(0, first));
  const auto minute = parseWhole(body.substr(first + 1, second - first - 1));
  const std::string_view secondsText = body.substr(second + 1);
  const auto seconds = secondsText.empty() || secondsText.front() < '0' || secondsText.front() > '9'
                           ? std::nullopt
                           : parseDecimal(secondsText);
  if (!degree || !minute || !seconds) malformed();
  c.degree = *degree;
  c.minute = *minute;
  c.second = *seconds;
  return c;
}

TDateTime parseUtc(const std::string& text) {
  const auto malformed = [&] {
    raise("--utc: " + inQuotes(text) +
          " is not a UTC date and time such as 2024-03-23T12:35:19Z or 2024-03-23T12:35:19.250Z.");
  };
  std::string_view s = text;
  if (!s.empty() && upper(s.back()) == 'Z') s.remove_suffix(1);
  // YYYY-MM-DDTHH:MM:SS is 19 characters with its separators at fixed places.
  if (s.size() < 19 || s[4] != '-' || s[7] != '-' || (upper(s[10]) != 'T' && s[10] != ' ') ||
      s[13] != ':' || s[16] != ':') {
    malformed();
  }
  const auto field = [&](std::size_t at, std::size_t length) {
    const auto value = readDigits(s.substr(at, length));
    if (!value) malformed();
    return static_cast<int>(*value);
  };
  DateTimeParts parts;
  parts.year = field(0, 4);
  parts.month = field(5, 2);
  parts.day = field(8, 2);
  parts.hour = field(11, 2);
  parts.minute = field(14, 2);
  parts.second = field(17, 2);
  long double fraction = 0;
  if (s.size() > 19) {
    const auto digits = readFractionDigits(s.substr(20));
    if (s[19] != '.' || !digits) malformed();
    fraction = *digits;
  }
  TDateTime value = 0;
  try {
    value = encodeDateTime(parts);
  } catch (const Error&) {
    malformed();
  }
  value += static_cast<double>(fraction / 86400.0L);
  // The sentences round to the millisecond and have four digits for the year.
  if (decodeDateTime(value).year > 9999) {
    raise("--utc: " + inQuotes(text) +
          " is later than 9999-12-31T23:59:59.999Z, the last time the sentences can carry.");
  }
  return value;
}

void addFixOptions(CLI::App& command, FixOptions& o) {
  const std::string previousGroup = command.option_defaults()->get_group();
  command.option_defaults()->group("Fix");
  command
      .add_option("--lat", o.latitude,
                  "Latitude as DEG:MIN:SEC and N or S, e.g. 48:07:02.28N, or as decimal degrees, "
                  "north positive, e.g. 48.1173 or -33.5 (33.5 S)")
      ->type_name("DEG:MIN:SEC[NS]|DEGREES");
  command
      .add_option("--lon", o.longitude,
                  "Longitude as DEG:MIN:SEC and E or W, e.g. 011:31:00E, or as decimal degrees, "
                  "east positive, e.g. 11.5167 or -11.5 (11.5 W)")
      ->type_name("DEG:MIN:SEC[EW]|DEGREES");
  command.add_option("--alt", o.altitude, "Altitude in metres")->type_name("METRES");
  // Each option states its exact range; the generator's messages serve the
  // other ways in (a replayed log, the window).
  const NumberRange speed{0, 0, false, false};
  const NumberRange course{0, 360, false, true};
  auto* kmh = command.add_option("--speed", o.speedKmh, "Speed in km/h, 0 or more")
                  ->type_name("KMH")
                  ->check(numberIn(speed));
  command.add_option("--speed-knots", o.speedKnots, "Speed in knots, in place of --speed")
      ->type_name("KNOTS")
      ->check(numberIn(speed))
      ->excludes(kmh);
  command
      .add_option("--heading", o.heading,
                  "Course over ground, degrees true, at least 0 and less than 360")
      ->type_name("DEGREES")
      ->check(numberIn(course));
  command.add_option("--geoid", o.geoid, "Geoid separation in metres")->type_name("METRES");
  command
      .add_option("--mag-var", o.magneticVariation,
                  "Magnetic variation in degrees and E or W, e.g. 3.1W")
      ->type_name("DEGREES[EW]");
  command
      .add_option("--mag-heading", o.magneticHeading,
                  "Course in degrees magnetic, at least 0 and less than 360")
      ->type_name("DEGREES")
      ->check(numberIn(course));
  command.add_option("--pdop", o.pdop, "Position dilution of precision")->type_name("NUMBER");
  command.add_option("--hdop", o.hdop, "Horizontal dilution of precision")->type_name("NUMBER");
  command.add_option("--vdop", o.vdop, "Vertical dilution of precision")->type_name("NUMBER");
  // A later --sentences replaces the list, as with every other option.
  listPerOption(
      command
          .add_option_function<std::vector<std::string>>(
              "--sentences",
              [&o](const std::vector<std::string>& names) { o.sentences = sentenceSet(names); },
              "Sentences to send, comma-separated, with or without the talker (GGA "
              "or GPGGA; default all seven: GPZDA,GPGGA,GPGLL,GPVTG,GPRMC,GPGSA,GPGSV)")
          ->type_name("LIST")
          ->transform(sentenceName()));
  command.add_option("--satellites", o.satellites, "Satellite ini file ([1] to [32] sections)")
      ->type_name("FILE");
  command
      .add_option("--utc", o.utc,
                  "Fixed UTC time for every sentence instead of the system clock, "
                  "e.g. 2024-03-23T12:35:19.000Z")
      ->type_name("TIME");
  command.option_defaults()->group(previousGroup);
}

std::shared_ptr<const Clock> fixClock(const FixOptions& options) {
  if (!options.utc) return systemClock();
  return std::make_shared<FixedClock>(parseUtc(*options.utc));
}

void applyFixOptions(const FixOptions& o, generator::TTarnNMEAGenerator& g) {
  if (o.latitude) {
    const Coordinate c = parseCoordinate(*o.latitude, "--lat");
    g.SetLatitude_Degree(c.degree);
    g.SetLatitude_Minute(c.minute);
    g.SetLatitude_Second(c.second);
    g.SetLatitude_Direction(c.direction);
  }
  if (o.longitude) {
    const Coordinate c = parseCoordinate(*o.longitude, "--lon");
    g.SetLongitude_Degree(c.degree);
    g.SetLongitude_Minute(c.minute);
    g.SetLongitude_Second(c.second);
    g.SetLongitude_Direction(c.direction);
  }
  if (o.altitude) g.SetAltitude(parseNumber(*o.altitude, "--alt"));
  if (o.speedKmh) {
    g.SetSpeed(generator::TTarnNMEAGenerator::KmhToKnots(parseNumber(*o.speedKmh, "--speed")));
  }
  if (o.speedKnots) g.SetSpeed(parseNumber(*o.speedKnots, "--speed-knots"));
  if (o.heading) g.SetHeading(parseNumber(*o.heading, "--heading"));
  if (o.geoid) g.SetGeo_Height(parseNumber(*o.geoid, "--geoid"));
  if (o.magneticVariation) {
    std::string number = *o.magneticVariation;
    std::optional<TCardinalPoint> direction;
    if (!number.empty() && upper(number.back()) == 'E') direction = TCardinalPoint::cpEast;
    if (!number.empty() && upper(number.back()) == 'W') direction = TCardinalPoint::cpWest;
    if (direction) number.pop_back();
    const auto value = parseDecimal(number);
    if (!value) {
      raise("--mag-var: " + inQuotes(*o.magneticVariation) +
            " is not degrees followed by E or W, as in 3.1W.");
    }
    g.SetMagnetic_Variation(*value);
    if (direction) g.SetMagnetic_Variation_Direction(*direction);
  }
  if (o.magneticHeading) g.SetMagnetic_Heading(parseNumber(*o.magneticHeading, "--mag-heading"));
  if (o.pdop) g.SetPDOP(parseNumber(*o.pdop, "--pdop"));
  if (o.hdop) g.SetHDOP(parseNumber(*o.hdop, "--hdop"));
  if (o.vdop) g.SetVDOP(parseNumber(*o.vdop, "--vdop"));
  if (o.sentences) g.SetCommands(*o.sentences);
  if (o.satellites) {
    // The generator treats a missing file as empty; someone who named one
    // wants to hear that it is not there.
    const std::string shown = shownText(*o.satellites, 1024);
    if (!isRegularFile(*o.satellites)) {
      throw RuntimeFailure("Cannot read the satellite file " + shown + ".");
    }
    try {
      g.LoadSatellites(*o.satellites);
    } catch (const IoError&) {
      throw;  // names the file already
    } catch (const Error& e) {
      raise("The satellite file " + shown + ": " + e.what());
    }
  }
}

}  // namespace waymock::cli
