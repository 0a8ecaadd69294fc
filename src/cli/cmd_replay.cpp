// waymock-cli replay: file mode without a window. The log is replayed through
// the file receiver, and each decoded fix is copied into a generator and sent
// to the port (and UDP) like a simulator tick, until the end of the log or a
// signal. Bursts the simulator cannot send are skipped: the first one is named
// on standard error, and their count at the end.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli/burst_echo.h"
#include "cli/commands.h"
#include "cli/fix_options.h"
#include "cli/port_options.h"
#include "cli/stop_signals.h"
#include "engine/file_relay.h"
#include "generator/nmea_generator.h"
#include "receiver/file_gps_receiver.h"
#include "receiver/replay_pacing.h"
#include "support/error.h"
#include "support/regular_file.h"

namespace waymock::cli {

namespace {

struct ReplayOptions {
  std::string file;
  int delay = 1000;
  bool paced = false;
  std::string speed = "1";
  bool loop = false;
  PortOptions ports;
};

// The receiver quietly ignores what it cannot replay; here the user asked for
// it. Only a regular file: a FIFO or a terminal would hold the replay in a
// read, deaf to Ctrl-C, for as long as nobody writes.
void checkLogFile(const std::string& name) {
  const RegularFile file(name);
  switch (file.status()) {
    case RegularFile::Status::open:
      return;
    case RegularFile::Status::missing:
      throw RuntimeFailure("Cannot find the log file " + name + ".");
    case RegularFile::Status::notRegular:
      throw RuntimeFailure("The log file " + name + " is not a regular file.");
    case RegularFile::Status::failed:
      throw RuntimeFailure("Cannot read " + name + ": " + systemErrorText(file.error()) + ".");
  }
}

int replay(const ReplayOptions& o) {
  checkLogFile(o.file);
  const long double speed = parseNumber(o.speed, "--speed");
  if (!(speed >= 0.01L && speed <= 1000)) raise("--speed must be between 0.01 and 1000.");

  PortTargets targets(o.ports);
  generator::TTarnNMEAGenerator generator(systemClock(), targets.opener());
  receiver::TTarnFileGPSReceiver receiver;
  receiver.SetDelay(o.delay);
  if (o.paced) receiver.waitRule = receiver::pacedWait(speed);
  receiver.setLoop(o.loop);
  receiver.SetFileName(o.file);

  StopSignals stop;
  targets.open(generator);
  struct ClosePort {
    PortTargets& targets;
    generator::TTarnNMEAGenerator& generator;
    ~ClosePort() { targets.close(generator); }
  } closePort{targets, generator};

  // The port is written before the network targets, as in the window: a
  // replay at full speed (--delay 0) gives the port every burst in turn.
  FileRelay relay(generator, receiver);
  targets.attach(relay);
  relay.onUdpError = targets.udpWarning();
  relay.onFirstSkipped = [](const std::string& message, const std::string& value) {
    std::cerr << "waymock-cli: Skipped a burst the simulator cannot send (" << value
              << "): " << message << '\n';
  };
  BurstEcho echo([&stop] { return stop.raised(); });
  relay.onTransmitted = [&echo](const std::string& burst) { echo.write(burst); };
  receiver.OnReceive = [&relay](receiver::TTarnCustomGPSReceiver&) { relay.relay(); };
  receiver.processEvents = [&] {
    targets.reportRefusedClients();
    if (stop.raised() || echo.failed()) receiver.Close();
  };
  receiver.Open();

  echo.check();
  if (relay.skippedBursts() > 0) {
    std::cerr << "waymock-cli: Skipped " << relay.skippedBursts() << " of "
              << receiver.deliveredBursts() << " bursts.\n";
  }
  return 0;
}

}  // namespace

void addReplayCommand(CLI::App& app, Action& action) {
  auto* cmd = app.add_subcommand(
      "replay",
      "Replay a recorded NMEA log: decode it burst by burst (each burst begins with a $GPRMC "
      "line) and send each decoded fix to the serial or virtual port (and UDP) as the simulator "
      "would, echoing it on standard output followed by an empty line");
  auto options = std::make_shared<ReplayOptions>();
  cmd->add_option("FILE", options->file, "The NMEA log, one sentence per line")->required();
  decimalOnly(
      cmd->add_option(
             "--delay", options->delay,
             "Milliseconds to wait after each burst (default 1000; 0 replays at full speed)")
          ->check(CLI::NonNegativeNumber));
  auto* paced = cmd->add_flag("--paced", options->paced,
                              "Wait after each burst as long as the log's own $GPRMC times say "
                              "(bursts without a usable time wait --delay)");
  cmd->add_option("--speed", options->speed,
                  "With --paced: play this many times faster, 0.01 to 1000 (default 1)")
      ->type_name("X")
      ->needs(paced);
  cmd->add_flag("--loop", options->loop,
                "At the end of the log start again from its beginning, until interrupted");
  addPortOptions(*cmd, options->ports);
  cmd->callback([&action, options] { action = [options] { return replay(*options); }; });
}

}  // namespace waymock::cli
