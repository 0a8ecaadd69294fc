#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/help_format.h"
#include "cli/port_options.h"
#include "cli/run_control.h"
#include "cli/unknown_words.h"
#include "support/error.h"

int main(int argc, char** argv) {
  using namespace waymock;
  CLI::App app{"Waymock GPS simulator, command-line tool", "waymock-cli"};
  // Every message says which program speaks, as the program's own do.
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return "waymock-cli: " + std::string(e.what()) + "\nRun with --help for more information.\n";
  });
  app.formatter(std::make_shared<cli::HelpFormat>());
  app.set_version_flag("-V,--version", std::string("waymock-cli ") + WAYMOCK_VERSION,
                       "Print the version and exit");
  // As usual for command lines, an option given twice takes the last value,
  // in every subcommand (they take this default as they are added).
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.require_subcommand(1);
  cli::Action action;
  cli::addBurstCommand(app, action);
  cli::addRunCommand(app, action);
  cli::addDecodeCommand(app, action);
  cli::addReplayCommand(app, action);
  cli::addRouteInfoCommand(app, action);
  cli::addCtlCommand(app, action);

  try {
    cli::refuseEmptyVirtualPath(argc, argv);
    cli::refuseEmptyControlPath(argc, argv);
    app.parse(argc, argv);
    return action ? action() : 0;
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    if (const auto message = cli::unknownWordMessage(app)) {
      std::cerr << "waymock-cli: " << *message << "\nRun with --help for more information.\n";
      return 2;
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
