// waymock-cli sky-info: the satellites a receiver sees at a place and time,
// as the sky model works them out from the almanacs, and the DOPs of its fix.
#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/fix_options.h"
#include "cli/option_checks.h"
#include "cli/receiver_json.h"
#include "generator/output_format.h"
#include "motion/route_builder.h"
#include "platform/clock.h"
#include "sky/almanac_file.h"
#include "sky/gps_time.h"
#include "sky/sky_model.h"
#include "support/shown_text.h"

namespace waymock::cli {

namespace {

// The sky numbers its systems as the sentences do.
static_assert(static_cast<int>(sky::GnssSystem::beidou) ==
              static_cast<int>(generator::Constellation::beidou));

struct SkyInfoOptions {
  std::string latitude;
  std::string longitude;
  std::optional<std::string> altitude;
  std::optional<std::string> utc;
  std::optional<std::string> almanac;
  std::optional<std::string> horizon;
  double mask = 5;
  std::vector<std::string> constellations;
  bool json = false;
};

const generator::ConstellationInfo& systemInfo(sky::GnssSystem system) {
  return generator::constellationInfo(static_cast<generator::Constellation>(system));
}

double signedDegrees(const std::string& text, const std::string& option) {
  const Coordinate c = parseCoordinate(text, option);
  const double degrees = static_cast<double>(c.degree + c.minute / 60.0L + c.second / 3600.0L);
  const bool negative =
      c.direction == TCardinalPoint::cpSouth || c.direction == TCardinalPoint::cpWest;
  return negative ? -degrees : degrees;
}

// Numbers with "." whatever the locale.
std::string fixed(double value, int decimals) {
  char text[64];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return error == std::errc() ? std::string(text, end) : std::string("?");
}

double rounded(double value) {
  return std::round(value * 100) / 100;
}

std::string padded(const std::string& text, std::size_t width, bool right) {
  const std::string fill(text.size() < width ? width - text.size() : 0, ' ');
  return right ? fill + text : text + fill;
}

void printTable(const SkyInfoOptions& o, const sky::SkyView& view, const std::string& time,
                const sky::GeodeticPosition& where) {
  std::cout << "Time:     " << time << '\n'
            << "Position: " << fixed(where.latitude, 6) << ", " << fixed(where.longitude, 6) << ", "
            << fixed(where.height, 1) << " m\n"
            << "Almanac:  " << (o.almanac ? shownText(*o.almanac, 1024) : "built in") << '\n'
            << "Mask:     " << numberText(o.mask) << " degrees, horizon "
            << (o.horizon ? shownText(*o.horizon, 1024) : "open") << "\n\n"
            << "System   Number  Elevation  Azimuth  SNR  Used\n";
  for (const sky::SatelliteView& s : view.satellites) {
    std::cout << padded(std::string(systemInfo(s.system).name), 8, false)
              << padded(std::to_string(s.number), 7, true)
              << padded(fixed(s.elevation, 1), 11, true) << padded(fixed(s.azimuth, 1), 9, true)
              << padded(s.snr ? std::to_string(*s.snr) : "-", 5, true)
              << (s.used ? "  yes" : "  no") << '\n';
  }
  std::cout << "\nIn view:  " << view.satellites.size() << ", " << view.used << " used\n";
  if (view.dops) {
    std::cout << "DOP:      PDOP " << fixed(view.dops->pdop, 2) << ", HDOP "
              << fixed(view.dops->hdop, 2) << ", VDOP " << fixed(view.dops->vdop, 2) << '\n';
  } else {
    std::cout << "DOP:      none: no fix; it needs 4 satellites used, and one more for each "
                 "system after the first\n";
  }
}

nlohmann::ordered_json toJson(const sky::SkyView& view, const std::string& time, double gpsTime,
                              const sky::GeodeticPosition& where, double mask) {
  nlohmann::ordered_json info;
  info["time"] = time;
  info["gps_week"] = static_cast<long long>(std::floor(gpsTime / sky::kSecondsPerWeek));
  info["gps_time_of_week"] = std::fmod(gpsTime, sky::kSecondsPerWeek);
  info["latitude"] = where.latitude;
  info["longitude"] = where.longitude;
  info["altitude"] = where.height;
  info["mask"] = mask;
  info["satellites"] = nlohmann::ordered_json::array();
  for (const sky::SatelliteView& s : view.satellites) {
    info["satellites"].push_back({{"system", systemInfo(s.system).name},
                                  {"number", s.number},
                                  {"elevation", rounded(s.elevation)},
                                  {"azimuth", rounded(s.azimuth)},
                                  {"snr", s.snr ? nlohmann::ordered_json(*s.snr) : nullptr},
                                  {"used", s.used}});
  }
  info["in_view"] = view.satellites.size();
  info["used"] = view.used;
  info["fix"] = view.dops.has_value();
  const auto dop = [&](double sky::Dops::*field) {
    return view.dops ? nlohmann::ordered_json(rounded((*view.dops).*field)) : nullptr;
  };
  info["pdop"] = dop(&sky::Dops::pdop);
  info["hdop"] = dop(&sky::Dops::hdop);
  info["vdop"] = dop(&sky::Dops::vdop);
  return info;
}

int skyInfo(const SkyInfoOptions& o) {
  const sky::GeodeticPosition where{
      signedDegrees(o.latitude, "--lat"), signedDegrees(o.longitude, "--lon"),
      o.altitude ? static_cast<double>(parseNumber(*o.altitude, "--alt")) : 0};
  const TDateTime utc = o.utc ? parseUtc(*o.utc) : systemClock()->utcNow();
  sky::GnssSystems systems = sky::GnssSystems::all();
  if (!o.constellations.empty()) {
    systems.clear();
    for (const sky::GnssSystem s : sky::kGnssSystems) {
      for (const std::string& keyword : o.constellations) {
        std::string folded = keyword;
        for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (folded == systemInfo(s).keyword) systems.insert(s);
      }
    }
  }
  sky::SkyOptions options;
  options.elevationMask = o.mask;
  if (o.horizon) options.horizon = sky::readHorizonFile(*o.horizon);
  sky::SkyModel model(sky::skyAlmanacs(o.almanac, systems), std::move(options));
  const sky::SkyView& view = model.compute(where, utc);
  const std::string time = motion::isoTimeText(motion::trackTimeAt((utc - 25'569) * 86'400));
  if (o.json) {
    std::cout << jsonLine(toJson(view, time, sky::gpsSecondsFromUtc(utc), where, o.mask), 2)
              << '\n';
  } else {
    printTable(o, view, time, where);
  }
  std::cout.flush();
  if (!std::cout) throw RuntimeFailure("Cannot write the output.");
  return 0;
}

}  // namespace

void addSkyInfoCommand(CLI::App& app, Action& action) {
  auto o = std::make_shared<SkyInfoOptions>();
  auto* cmd = app.add_subcommand(
      "sky-info",
      "Show the satellites a receiver sees at a place and time, worked out from their orbits, "
      "and the DOPs of its fix");
  cmd->add_option("--lat", o->latitude,
                  "Latitude as DEG:MIN:SEC and N or S, or as decimal degrees, north positive")
      ->type_name("DEG:MIN:SEC[NS]|DEGREES")
      ->required();
  cmd->add_option("--lon", o->longitude,
                  "Longitude as DEG:MIN:SEC and E or W, or as decimal degrees, east positive")
      ->type_name("DEG:MIN:SEC[EW]|DEGREES")
      ->required();
  cmd->add_option("--alt", o->altitude, "Altitude in metres (default 0)")->type_name("METRES");
  cmd->add_option("--utc", o->utc, "UTC time, e.g. 2024-03-23T12:35:19Z (default: now)")
      ->type_name("TIME");
  cmd->add_option("--almanac", o->almanac,
                  "GPS almanac file, YUMA or SEM, in place of the built-in nominal constellation")
      ->type_name("FILE");
  cmd->add_option("--mask", o->mask, "Elevation mask in degrees, 0 to 90 (default 5)")
      ->type_name("DEGREES")
      ->check(numberIn({0, 90}));
  cmd->add_option("--horizon", o->horizon,
                  "Horizon profile: a line per point, azimuth and the elevation below which the "
                  "sky is hidden, in degrees")
      ->type_name("FILE");
  std::vector<std::string> keywords;
  for (const sky::GnssSystem s : sky::kGnssSystems) keywords.emplace_back(systemInfo(s).keyword);
  listPerOption(cmd->add_option("--constellations", o->constellations,
                                "The satellite systems, comma-separated (default all: "
                                "gps,glonass,galileo,beidou)"))
      ->type_name("LIST")
      ->check(CLI::IsMember(keywords, CLI::ignore_case));
  cmd->add_flag("--json", o->json, "Print the sky as JSON");
  cmd->callback([&action, o] { action = [o] { return skyInfo(*o); }; });
}

}  // namespace waymock::cli
