#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/help_format.h"
#include "cli/port_options.h"
#include "cli/run_control.h"
#include "support/error.h"
#include "support/shown_text.h"

namespace {

// Letters to insert, delete or replace to turn one word into the other.
std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The word where a subcommand was expected, when it names none: the first
// argument that is not an option.
std::optional<std::string> unknownSubcommand(const CLI::App& app, int argc,
                                             const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.starts_with('-')) continue;
    for (const CLI::App* command : app.get_subcommands({})) {
      if (command->check_name(word)) return std::nullopt;
    }
    return word;
  }
  return std::nullopt;
}

std::string unknownSubcommandMessage(const CLI::App& app, const std::string& word) {
  std::string closest;
  std::size_t distance = std::string::npos;
  std::string all;
  for (const CLI::App* command : app.get_subcommands({})) {
    const std::string& name = command->get_name();
    all += (all.empty() ? "" : ", ") + name;
    const std::size_t d = editDistance(word, name);
    if (d < distance) {
      distance = d;
      closest = name;
    }
  }
  std::string message = "waymock-cli: Unknown subcommand \"" + word + "\"";
  // A guess only for a slip of the keyboard, not for another word altogether.
  if (distance <= std::max<std::size_t>(1, closest.size() / 3)) {
    message += "; did you mean \"" + closest + "\"?";
  } else {
    message += "; the subcommands are " + all + ".";
  }
  return message + "\nRun with --help for more information.\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace waymock;
  CLI::App app{"Waymock GPS simulator, command-line tool", "waymock-cli"};
  // Every message says which program speaks, as the program's own do.
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return "waymock-cli: " + std::string(e.what()) + "\nRun with --help for more information.\n";
  });
  app.formatter(std::make_shared<cli::HelpFormat>());
  app.set_version_flag("--version", std::string("waymock-cli ") + WAYMOCK_VERSION,
                       "Print the version and exit");
  app.require_subcommand(1);
  cli::Action action;
  cli::addBurstCommand(app, action);
  cli::addRunCommand(app, action);
  cli::addDecodeCommand(app, action);
  cli::addReplayCommand(app, action);
  cli::addRouteInfoCommand(app, action);
  cli::addSkyInfoCommand(app, action);
  cli::addCtlCommand(app, action);

  try {
    cli::refuseEmptyVirtualPath(argc, argv);
    cli::refuseEmptyControlPath(argc, argv);
    app.parse(argc, argv);
    return action ? action() : 0;
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    if (app.get_subcommands().empty()) {
      if (const auto word = unknownSubcommand(app, argc, argv)) {
        std::cerr << unknownSubcommandMessage(app, shownText(*word));
        return 2;
      }
    }
    app.exit(e);
    return 2;
  } catch (const IoError& e) {
    // The system's words say why: "Address already in use."
    std::cerr << "waymock-cli: " << e.what();
    if (!e.systemText().empty()) std::cerr << ' ' << e.systemText() << '.';
    std::cerr << '\n';
    return 1;
  } catch (const Error& e) {
    // A value refused, while parsing (an option's own reader) or by the
    // simulator: its own message, word for word.
    std::cerr << "waymock-cli: " << e.what() << '\n';
    return 2;
  } catch (const cli::RuntimeFailure& e) {
    std::cerr << "waymock-cli: " << e.what() << '\n';
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "waymock-cli: " << e.what() << '\n';
    return 1;
  }
}
