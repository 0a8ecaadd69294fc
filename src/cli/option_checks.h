#pragma once

// Checks that CLI11 runs while it reads the options, so that a value out of
// range is refused with the option's exact range before anything starts.

#include <string>

namespace CLI {
class Option;
class Validator;
}  // namespace CLI

namespace waymock::cli {

// The range a number must lie in; `high` is left out when `highIncluded` is
// false ("at least 0 and less than 360"), and there is no upper bound when
// `bounded` is false ("at least 0").
struct NumberRange {
  long double low = 0;
  long double high = 0;
  bool highIncluded = true;
  bool bounded = true;
};

// Refuses a number outside `range`: `"360" is out of range; it must be at least
// 0 and less than 360.` Text that is not a number passes: the option's own
// reader says so later in its own words.
CLI::Validator numberIn(NumberRange range);

// Makes `option` a comma-separated list that each occurrence gives whole: a
// later one replaces it, as a later value does for every other option, and
// the word after it is never taken for a second list. Returns `option`.
CLI::Option* listPerOption(CLI::Option* option);

// Number text as messages show it: 360, 0.01.
std::string numberText(long double value);

}  // namespace waymock::cli
