#pragma once

// Words on the command line that name no subcommand or option, said with the
// one that was most likely meant: "Unknown subcommand "brust"; did you mean
// "burst"?". CLI11 (2.1) names such words without a guess, and lists several
// in reverse order, so the parser's own message is replaced for them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace waymock::cli {

// Of `known`, the word `word` was most likely meant to be: one a slip of the
// keyboard away (a letter missing, added, wrong, or two letters swapped), or
// one that begins the other ("--latitude" for "--lat"). Nothing when none is
// that close.
std::optional<std::string> closestWord(std::string_view word,
                                       const std::vector<std::string>& known);

// After a failed parse of `app`: the message for the first word no command
// knew, without the program's name; nothing when every word was known and the
// parser's own message says what is wrong.
std::optional<std::string> unknownWordMessage(const CLI::App& app);

}  // namespace waymock::cli
