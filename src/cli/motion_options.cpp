#include "cli/motion_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <vector>

#include "cli/fix_options.h"
#include "cli/option_checks.h"
#include "cli/port_options.h"
#include "engine/motion_fix.h"
#include "generator/nmea_generator.h"
#include "motion/motion_settings.h"
#include "support/error.h"
#include "support/shown_text.h"
#include "support/units.h"
#include "support/value_bounds.h"

namespace waymock::cli {

namespace {

// A check that the option's text is one of `words`, said in the way of --tick:
// "\"back\" is not a route end; use stop, loop or reverse."
CLI::Validator oneOf(std::vector<std::string> words, std::string what) {
  std::string braces = "{";
  std::string spoken;
  for (std::size_t i = 0; i < words.size(); ++i) {
    braces += (i > 0 ? "," : "") + words[i];
    spoken += (i == 0 ? "" : i + 1 < words.size() ? ", " : " or ") + words[i];
  }
  return CLI::Validator(
      [words, what, spoken](std::string& text) -> std::string {
        if (std::find(words.begin(), words.end(), text) != words.end()) return {};
        return "\"" + shownText(text) + "\" is not " + what + "; use " + spoken + ".";
      },
      braces + "}", "word");
}

double positiveNumber(const std::string& text, const std::string& option, const char* unit) {
  const long double value = parseNumber(text, option);
  if (!(value > 0)) raise(option + " must be more than 0" + unit + ".");
  return static_cast<double>(value);
}

double routeSpeed(const std::string& text) {
  const double speed = positiveNumber(text, "--route-speed", " km/h");
  if (speed > kMaxSpeedKmh)
    raise("--route-speed must be at most " + numberText(kMaxSpeedKmh) + " km/h.");
  return speed;
}

motion::RouteEnd routeEndOf(const std::string& word) {
  if (word == "loop") return motion::RouteEnd::loop;
  if (word == "reverse") return motion::RouteEnd::reverse;
  return motion::RouteEnd::stop;
}

}  // namespace

void addMotionOptions(CLI::App& command, MotionOptions& o) {
  const std::string group = "Motion";
  auto* route = command
                    .add_option("--route", o.route,
                                "Follow the route or track in FILE (GPX, KML, CSV lat,lon[,alt]"
                                "[,time] or an NMEA log) instead of stepping; needs --route-speed "
                                "or --route-time")
                    ->type_name("FILE")
                    ->group(group);
  auto* speed = command
                    .add_option("--route-speed", o.routeSpeed,
                                "With --route: travel it at this speed in km/h, more than 0 "
                                "and at most 10000")
                    ->type_name("KMH")
                    ->group(group)
                    ->needs(route);
  auto* time = command
                   .add_flag("--route-time", o.routeTime,
                             "With --route: travel it at the track's own times, stops included")
                   ->group(group)
                   ->needs(route)
                   ->excludes(speed);
  command
      .add_option("--rate", o.rate,
                  "With --route-time: play the track this many times faster than recorded, "
                  "more than 0 (default 1)")
      ->type_name("X")
      ->group(group)
      ->needs(time);
  command
      .add_option("--route-end", o.routeEnd,
                  "With --route: at the end stop, loop (start again) or reverse (turn back); "
                  "default stop")
      ->type_name("END")
      ->group(group)
      ->needs(route)
      ->check(oneOf({"stop", "loop", "reverse"}, "a route end"));
  command
      .add_flag("--use-track-time", o.useTrackTime,
                "With --route: the sentences carry the track's own date and time, from its "
                "first point's on, instead of the clock's")
      ->group(group)
      ->needs(route)
      ->excludes("--utc");
  auto* noise = command
                    .add_option("--noise", o.noise,
                                "With --route or --move: a random error of typically this many "
                                "metres on each reported position, 0 to 10000 (default none)")
                    ->type_name("METRES")
                    ->group(group)
                    ->check(numberIn({0, kMaxNoiseMetres}));
  command
      .add_option("--seed", o.seed,
                  "With --noise: the same N gives the same errors, 0 to 18446744073709551615 "
                  "(default 0)")
      ->type_name("N")
      ->group(group)
      ->needs(noise)
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            unsigned long long seed = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
            if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
              return "\"" + shownText(text) +
                     "\" is not a whole number from 0 to 18446744073709551615";
            }
            return {};
          },
          "", "seed"));
  auto* move = command
                   .add_option("--move", o.move,
                               "How the fix moves without --route: steps (by --lat-step and "
                               "--lon-step, the default) or speed-heading (at --speed along "
                               "--heading, from --lat and --lon)")
                   ->type_name("MODEL")
                   ->group(group)
                   ->excludes(route)
                   ->check(oneOf({"steps", "speed-heading"}, "a way to move"));
  command
      .add_flag("--geodesic", o.geodesic,
                "With --move speed-heading: along the great circle instead of keeping the "
                "heading (a rhumb line)")
      ->group(group)
      ->needs(move);
}

std::unique_ptr<motion::Motion> makeRunMotion(const MotionOptions& o, const FixOptions& fix,
                                              const generator::TTarnNMEAGenerator& generator) {
  motion::MotionSettings s;
  if (o.route) {
    if (!o.routeSpeed && !o.routeTime) raise("--route needs --route-speed KMH or --route-time.");
    s.model = motion::MotionModel::route;
    s.routeFile = *o.route;
    s.trackTime = o.routeTime;
    if (o.routeSpeed) s.routeSpeedKmh = routeSpeed(*o.routeSpeed);
    if (o.rate) s.rate = positiveNumber(*o.rate, "--rate", "");
    s.end = routeEndOf(o.routeEnd);
    s.useTrackTime = o.useTrackTime;
  } else if (o.move == "speed-heading") {
    s.model = motion::MotionModel::speedHeading;
    // The speed as given: km/h, or knots of a nautical mile.
    if (fix.speedKmh) s.speedKmh = static_cast<double>(parseNumber(*fix.speedKmh, "--speed"));
    if (fix.speedKnots) {
      s.speedKmh = static_cast<double>(parseNumber(*fix.speedKnots, "--speed-knots")) *
                   kMetresPerNauticalMile / 1000;
    }
    s.heading = static_cast<double>(generator.Heading());
    s.geodesic = o.geodesic;
  } else {
    if (o.geodesic) raise("--geodesic applies only with --move speed-heading.");
    if (o.noise) raise("--noise applies only with --route or --move speed-heading.");
    return nullptr;
  }
  if (o.noise) s.noiseMetres = static_cast<double>(parseNumber(*o.noise, "--noise"));
  s.seed = o.seed.value_or(0);
  // The generator's longitude is west positive; the motion's east positive.
  return motion::makeMotion(s, mapPositionOf(generator));
}

}  // namespace waymock::cli
