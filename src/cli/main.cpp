#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "cli/commands.h"
#include "cli/port_options.h"
#include "support/error.h"

int main(int argc, char** argv) {
  using namespace waymock;
  CLI::App app{"Waymock GPS simulator, command-line tool", "waymock-cli"};
  app.require_subcommand(1);
  cli::Action action;
  cli::addBurstCommand(app, action);
  cli::addRunCommand(app, action);
  cli::addDecodeCommand(app, action);
  cli::addReplayCommand(app, action);

  try {
    cli::refuseEmptyVirtualPath(argc, argv);
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }

  try {
    return action ? action() : 0;
  } catch (const IoError& e) {
    // The system's words say why: "Address already in use."
    std::cerr << "waymock-cli: " << e.what();
    if (!e.systemText().empty()) std::cerr << ' ' << e.systemText() << '.';
    std::cerr << '\n';
    return 1;
  } catch (const Error& e) {
    // A value the simulator rejects: its own message, word for word.
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
