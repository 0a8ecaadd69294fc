#include "cli/unknown_words.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <utility>

#include "support/shown_text.h"

namespace waymock::cli {

namespace {

// Letters to insert, delete, replace or swap with their neighbour to turn one
// word into the other (the optimal string alignment distance): "brust" is one
// step from "burst".
std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

std::string_view withoutDashes(std::string_view word) {
  return word.substr(std::min(word.find_first_not_of('-'), word.size()));
}

// The commands parsed, from the program down to the innermost subcommand.
std::vector<const CLI::App*> parsedCommands(const CLI::App& app) {
  std::vector<const CLI::App*> chain = {&app};
  while (!chain.back()->get_subcommands().empty()) {
    chain.push_back(chain.back()->get_subcommands().front());
  }
  return chain;
}

// "ctl set": the subcommand's words after the program's name.
std::string commandPath(const CLI::App& command) {
  std::string path;
  for (const CLI::App* c = &command; c->get_parent() != nullptr; c = c->get_parent()) {
    path = c->get_name() + (path.empty() ? "" : " " + path);
  }
  return path;
}

std::string inQuotes(std::string_view text) {
  return "\"" + shownText(text) + "\"";
}

std::string unknownSubcommand(const CLI::App& command, const std::string& word) {
  std::vector<std::string> names;
  for (const CLI::App* sub : command.get_subcommands({})) names.push_back(sub->get_name());
  const std::string path = commandPath(command);
  const std::string prefix = path.empty() ? "" : path + " ";
  std::string message = "Unknown subcommand " + inQuotes(prefix + word);
  if (const auto meant = closestWord(word, names)) {
    return message + "; did you mean " + inQuotes(prefix + *meant) + "?";
  }
  std::string all;
  for (const std::string& name : names) all += (all.empty() ? "" : ", ") + name;
  return message + "; the subcommands " + (path.empty() ? "" : "of " + path + " ") + "are " + all +
         ".";
}

std::string unknownOption(const CLI::App& command, const std::string& word) {
  // Options of the commands above count too where the command passes words
  // it does not know on to them. A hidden option (an old name) is not offered.
  std::vector<std::string> names;
  for (const CLI::App* c = &command; c != nullptr;
       c = c->get_fallthrough() ? c->get_parent() : nullptr) {
    for (const CLI::Option* option : c->get_options()) {
      if (option->get_group().empty()) continue;
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
      for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
  }
  const std::string given = word.substr(0, word.find('='));
  const std::string path = commandPath(command);
  std::string message = "Unknown option " + inQuotes(given) + (path.empty() ? "" : " for " + path);
  if (const auto meant = closestWord(given, names)) {
    return message + "; did you mean " + inQuotes(*meant) + "?";
  }
  return message + ".";
}

}  // namespace

std::optional<std::string> closestWord(std::string_view word,
                                       const std::vector<std::string>& known) {
  const std::string_view typed = withoutDashes(word);
  std::optional<std::string> closest;
  // A word one begins with the other comes before a slip: "--sat" is
  // --satellites cut short rather than --lat mistyped.
  std::pair<bool, std::size_t> closestRank;
  for (const std::string& candidate : known) {
    const std::string_view name = withoutDashes(candidate);
    // A single letter says too little to guess from.
    if (typed.size() < 2 || name.size() < 2) continue;
    const std::size_t distance = editDistance(typed, name);
    const std::size_t shorter = std::min(typed.size(), name.size());
    const bool slip = distance <= std::max<std::size_t>(1, name.size() / 3);
    const bool begins = shorter >= 3 && (typed.starts_with(name) || name.starts_with(typed));
    const std::pair<bool, std::size_t> rank = {!begins, distance};
    if ((slip || begins) && (!closest || rank < closestRank)) {
      closest = candidate;
      closestRank = rank;
    }
  }
  return closest;
}

std::optional<std::string> unknownWordMessage(const CLI::App& app) {
  const auto chain = parsedCommands(app);
  // A word where a subcommand was expected is taken for one: the options
  // after it would be its own.
  const CLI::App& innermost = *chain.back();
  if (innermost.get_require_subcommand_min() > 0) {
    for (const std::string& word : innermost.remaining(false)) {
      if (!word.starts_with('-')) return unknownSubcommand(innermost, word);
    }
  }
  std::vector<std::string> extras;
  for (std::size_t level = 0; level < chain.size(); ++level) {
    // A subcommand that passes the words it does not know up to its command
    // leaves them there, though they were typed for it.
    std::size_t typedFor = level;
    while (typedFor + 1 < chain.size() && chain[typedFor + 1]->get_fallthrough()) ++typedFor;
    for (const std::string& word : chain[level]->remaining(false)) {
      if (word.size() > 1 && word.starts_with('-')) return unknownOption(*chain[typedFor], word);
      extras.push_back(word);
    }
  }
  if (extras.empty()) return std::nullopt;
  std::string message = extras.size() == 1 ? "The following argument was not expected:"
                                           : "The following arguments were not expected:";
  for (const std::string& word : extras) message += " " + shownText(word);
  return message;
}

}  // namespace waymock::cli
