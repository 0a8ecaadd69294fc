#include "cli/option_checks.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>

#include "cli/fix_options.h"
#include "support/error.h"
#include "support/shown_text.h"

namespace waymock::cli {

std::string numberText(long double value) {
  // "." whatever the locale, which stream output would follow.
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, static_cast<double>(value));
  return error == std::errc() ? std::string(text, end) : std::string("?");
}

CLI::Validator numberIn(NumberRange range) {
  std::string rule = "it must be at least " + numberText(range.low);
  if (range.bounded) {
    rule = range.highIncluded
               ? "it must be from " + numberText(range.low) + " to " + numberText(range.high)
               : rule + " and less than " + numberText(range.high);
  }
  return CLI::Validator(
      [range, rule](std::string& text) -> std::string {
        long double value = 0;
        try {
          value = parseNumber(text, "");
        } catch (const Error&) {
          return {};
        }
        const bool below = value < range.low;
        const bool above =
            range.bounded && (range.highIncluded ? value > range.high : value >= range.high);
        if (!below && !above) return {};
        return "\"" + shownText(text) + "\" is out of range; " + rule + ".";
      },
      "", "range");
}

CLI::Option* listPerOption(CLI::Option* option) {
  // Each occurrence runs the option's callback with its own items at once;
  // the items of the one before are dropped then.
  return option->expected(1)
      ->allow_extra_args(false)
      ->delimiter(',')
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->trigger_on_parse();
}

}  // namespace waymock::cli
