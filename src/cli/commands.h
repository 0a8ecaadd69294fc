#pragma once

#include <functional>
#include <stdexcept>

namespace CLI {
class App;
}

namespace waymock::cli {

// A failure while running (a device that cannot be opened, a missing file):
// exit status 1. A rejected value (waymock::Error) or a bad argument: status 2.
class RuntimeFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Each subcommand registers itself and stores the work to run in `action`; main
// runs it after parsing and turns errors into messages and exit codes.
using Action = std::function<int()>;

void addBurstCommand(CLI::App& app, Action& action);
void addRunCommand(CLI::App& app, Action& action);
void addDecodeCommand(CLI::App& app, Action& action);
void addReplayCommand(CLI::App& app, Action& action);
void addRouteInfoCommand(CLI::App& app, Action& action);
void addSkyInfoCommand(CLI::App& app, Action& action);
void addCtlCommand(CLI::App& app, Action& action);

}  // namespace waymock::cli
