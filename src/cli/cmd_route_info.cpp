// waymock-cli route-info: what a route file holds, as the route options would
// read it: its points, length, duration and bounds.
#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/commands.h"
#include "cli/receiver_json.h"
#include "motion/route.h"
#include "motion/route_builder.h"
#include "motion/route_reader.h"
#include "support/shown_text.h"

namespace waymock::cli {

namespace {

struct RouteInfoOptions {
  std::string file;
  bool json = false;
};

// Numbers with "." whatever the locale.
std::string fixed(double value, int decimals) {
  char text[64];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return error == std::errc() ? std::string(text, end) : std::string("?");
}

std::string general(double value) {
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : std::string("?");
}

// 845 s as "0:14:05".
std::string clockText(double seconds) {
  const auto whole = static_cast<long long>(std::floor(seconds));
  char text[64];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  return text;
}

double toMillimetres(double metres) {
  return std::round(metres * 1000) / 1000;
}

int routeInfo(const RouteInfoOptions& options) {
  const motion::Route route = motion::readRoute(options.file);
  const double length = motion::cumulativeDistances(route).back();
  const motion::RouteBounds bounds = motion::routeBounds(route);
  const bool timed = route.hasTimes();
  const motion::TrackTime start = timed ? *route.points.front().time : motion::TrackTime{};
  const motion::TrackTime end = timed ? *route.points.back().time : motion::TrackTime{};
  // Exact: the times are whole microseconds.
  const double duration = motion::secondsOf(end - start);

  if (options.json) {
    nlohmann::ordered_json info;
    info["file"] = options.file;
    info["kind"] = route.kind;
    info["points"] = route.points.size();
    info["length_m"] = toMillimetres(length);
    info["duration_s"] = timed ? nlohmann::ordered_json(duration) : nullptr;
    info["start_time"] = timed ? nlohmann::ordered_json(motion::isoTimeText(start)) : nullptr;
    info["end_time"] = timed ? nlohmann::ordered_json(motion::isoTimeText(end)) : nullptr;
    info["bounds"] = {{"south", bounds.south},
                      {"west", bounds.west},
                      {"north", bounds.north},
                      {"east", bounds.east}};
    std::cout << jsonLine(info, 2) << '\n';
  } else {
    std::cout << "File:     " << shownText(options.file, 1024) << '\n'
              << "Kind:     " << route.kind << '\n'
              << "Points:   " << route.points.size() << '\n'
              << "Length:   " << fixed(length, 1) << " m (" << fixed(length / 1000, 3) << " km)\n";
    if (timed) {
      std::cout << "Duration: " << general(duration) << " s (" << clockText(duration) << "), "
                << motion::isoTimeText(start) << " to " << motion::isoTimeText(end) << '\n';
    } else {
      std::cout << "Duration: unknown: not every point has a time\n";
    }
    std::cout << "Bounds:   south " << fixed(bounds.south, 6) << ", west " << fixed(bounds.west, 6)
              << ", north " << fixed(bounds.north, 6) << ", east " << fixed(bounds.east, 6) << '\n';
  }
  std::cout.flush();
  if (!std::cout) throw RuntimeFailure("Cannot write the output.");
  return 0;
}

}  // namespace

void addRouteInfoCommand(CLI::App& app, Action& action) {
  auto options = std::make_shared<RouteInfoOptions>();
  auto* cmd = app.add_subcommand(
      "route-info",
      "Describe a route or track file (GPX, KML, CSV or an NMEA log) as the simulator reads it: "
      "its points, length, duration and bounds");
  cmd->add_option("FILE", options->file,
                  "The route: GPX (tracks, else routes, else waypoints), KML (gx:Track, else "
                  "LineString, else Point), CSV (lat,lon[,alt][,time]) or an NMEA log")
      ->required();
  cmd->add_flag("--json", options->json, "Print the description as JSON");
  cmd->callback([&action, options] { action = [options] { return routeInfo(*options); }; });
}

}  // namespace waymock::cli
