#pragma once

// The options that choose how the sentences are written, shared by the
// subcommands that build them (burst, run):
//
//   --profile classic|nmea41   the GPS-only sentences of old, or a current
//                              multi-constellation receiver's (NMEA 4.11)
//   --zda classic|standard     ZDA's date in one field, or in three (by default
//                              classic with the classic profile, standard with nmea41)
//   --constellations LIST      gps,glonass,galileo,beidou: what nmea41 reports
//   --talker XX                one talker for every sentence (nmea41: one system)
//
// Typical use: addOutputOptions(*command, options) before parsing, then
// applyOutputOptions(options, generator) in the action.

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace waymock::generator {
class TTarnNMEAGenerator;
}

namespace waymock::cli {

// As given (keywords in any case); unset options leave the generator's
// classic output.
struct OutputOptions {
  std::string profile = "classic";
  std::optional<std::string> zda;           // unset: the profile's own
  std::vector<std::string> constellations;  // empty: every one
  std::optional<std::string> talker;
};

void addOutputOptions(CLI::App& command, OutputOptions& options);

// Writes the options into the generator; throws Error for a combination that
// makes no sense (other constellations with the classic profile, one talker
// for several of them).
void applyOutputOptions(const OutputOptions& options, generator::TTarnNMEAGenerator& generator);

}  // namespace waymock::cli
