// waymock-cli burst: one burst of the fix on standard output.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "cli/fix_options.h"
#include "cli/output_options.h"
#include "generator/nmea_generator.h"

namespace waymock::cli {

void addBurstCommand(CLI::App& app, Action& action) {
  auto* cmd = app.add_subcommand("burst", "Print one burst of NMEA sentences for the fix and exit");
  auto options = std::make_shared<FixOptions>();
  addFixOptions(*cmd, *options);
  auto output = std::make_shared<OutputOptions>();
  addOutputOptions(*cmd, *output);
  cmd->callback([&action, options, output] {
    action = [options, output] {
      generator::TTarnNMEAGenerator generator(fixClock(*options));
      applyFixOptions(*options, generator);
      applyOutputOptions(*output, generator);
      const std::string burst = generator.GetSentences();
      if (std::fwrite(burst.data(), 1, burst.size(), stdout) != burst.size() ||
          std::fflush(stdout) != 0) {
        throw RuntimeFailure("Cannot write to standard output.");
      }
      return 0;
    };
  });
}

}  // namespace waymock::cli
