#include "cli/output_options.h"

#include <CLI/CLI.hpp>

#include "cli/option_checks.h"
#include "generator/nmea_generator.h"
#include "support/error.h"
#include "support/shown_text.h"

namespace waymock::cli {

namespace {

using generator::Constellation;
using generator::constellationInfo;
using generator::kConstellations;

std::vector<std::string> constellationKeywords() {
  std::vector<std::string> keywords;
  for (const Constellation c : kConstellations) {
    keywords.emplace_back(constellationInfo(c).keyword);
  }
  return keywords;
}

CLI::Validator twoUppercaseLetters() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
        if (text.size() == 2 && upper(text[0]) && upper(text[1])) return {};
        return "\"" + shownText(text) + "\" is not two uppercase letters, such as GN or GP.";
      },
      "", "talker");
}

// The keywords are matched without regard to case, and kept as typed.
std::string lowercase(std::string text) {
  for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

}  // namespace

void addOutputOptions(CLI::App& command, OutputOptions& o) {
  const auto group = "Output format";
  command
      .add_option("--profile", o.profile,
                  "Sentences as a GPS-only receiver of old writes them (classic, the default), "
                  "or as a current multi-constellation receiver does (nmea41: GN talkers, a GSA "
                  "and GSVs per constellation, NMEA 4.11 fields)")
      ->group(group)
      ->type_name("PROFILE")
      ->check(CLI::IsMember({"classic", "nmea41"}, CLI::ignore_case));
  command
      .add_option("--zda", o.zda,
                  "ZDA's date as one field, ddmmyyyy (classic, the default), or as day, month "
                  "and year (standard), the form clients read")
      ->group(group)
      ->type_name("FORM")
      ->check(CLI::IsMember({"classic", "standard"}, CLI::ignore_case));
  listPerOption(
      command
          .add_option("--constellations", o.constellations,
                      "The satellite systems --profile nmea41 reports, comma-separated (default "
                      "all: gps,glonass,galileo,beidou); the satellite file holds them as [GL1], "
                      "[GA1], [GB1]...")
          ->group(group)
          ->type_name("LIST")
          ->check(CLI::IsMember(constellationKeywords(), CLI::ignore_case)));
  command
      .add_option("--talker", o.talker,
                  "The talker every sentence carries, two uppercase letters such as GP, for "
                  "clients that accept only one")
      ->group(group)
      ->type_name("XX")
      ->check(twoUppercaseLetters());
}

void applyOutputOptions(const OutputOptions& o, generator::TTarnNMEAGenerator& g) {
  generator::OutputFormat format;
  format.profile = lowercase(o.profile) == "nmea41" ? generator::OutputProfile::nmea41
                                                    : generator::OutputProfile::classic;
  format.zda =
      lowercase(o.zda) == "standard" ? generator::ZdaForm::standard : generator::ZdaForm::classic;
  if (!o.constellations.empty()) {
    format.constellations.clear();
    for (const Constellation c : kConstellations) {
      for (const std::string& keyword : o.constellations) {
        if (lowercase(keyword) == constellationInfo(c).keyword) format.constellations.insert(c);
      }
    }
    // The classic sentences carry GPS alone; asking for more would be ignored
    // without a word.
    if (format.profile == generator::OutputProfile::classic &&
        format.constellations != generator::Constellations{Constellation::gps}) {
      raise("--constellations: the classic profile sends GPS only; add --profile nmea41.");
    }
  }
  if (o.talker) format.talker = *o.talker;
  g.setOutputFormat(format);
}

}  // namespace waymock::cli
