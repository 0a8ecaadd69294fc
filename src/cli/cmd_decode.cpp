// Placeholder: the decode subcommand is not built yet.
#include <CLI/CLI.hpp>

#include "cli/commands.h"

namespace waymock::cli {

void addDecodeCommand(CLI::App& app, Action& action) {
  auto* cmd = app.add_subcommand("decode", "(not available yet)");
  cmd->callback([&action] { action = [] { return 1; }; });
}

}  // namespace waymock::cli
