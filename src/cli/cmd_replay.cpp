// waymock-cli replay: file mode without a window. The log is replayed through
// the file receiver, and each decoded fix is copied into a generator and sent
// to the port (and UDP and TCP) like a simulator tick, until the end of the
// log or a signal. Bursts the simulator cannot send are skipped: the first one
// is named on standard error, and their count at the end.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli/burst_echo.h"
#include "cli/commands.h"
#include "cli/fix_options.h"
#include "cli/option_checks.h"
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
  std::string rate = "1";
  bool loop = false;
  bool quiet = false;
  bool modern = false;
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

// The receiver accepted no sentence from what the replay handed it: say why
// nothing useful was sent.
void refuseWithoutNmea(const receiver::TTarnFileGPSReceiver& receiver, const std::string& name) {
  if (receiver.sentenceCounts().accepted > 0) return;
  const bool modern = receiver.modern();
  if (receiver.deliveredBursts() == 0) {
    throw RuntimeFailure("The log file " + name + " holds no NMEA to replay: it has no " +
                         (modern ? "$GPRMC or $GNRMC" : "$GPRMC") +
                         " line, which begins each burst.");
  }
  throw RuntimeFailure("The log file " + name + " holds no NMEA to replay: no line before its " +
                       (modern ? "last RMC line is a $GP or $GN sentence or a $GL, $GA or $GB GSV"
                               : "last $GPRMC line is a $GP sentence") +
                       " with a valid checksum.");
}

int replay(const ReplayOptions& o) {
  checkLogFile(o.file);
  const long double rate = parseNumber(o.rate, "--rate");

  PortTargets targets(o.ports);
  generator::TTarnNMEAGenerator generator(systemClock(), targets.opener());
  receiver::TTarnFileGPSReceiver receiver;
  receiver.setModern(o.modern);
  receiver::applyPace(receiver, {o.delay, o.paced, rate, o.loop});
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
  relay.onTransmitted = [&echo, &o](const std::string& burst) {
    if (!o.quiet) echo.write(burst);
  };
  receiver.OnReceive = [&relay](receiver::TTarnCustomGPSReceiver&) { relay.relay(); };
  receiver.processEvents = [&] {
    targets.reportRefusedClients();
    // A loop over a log without NMEA would go on sending nothing for ever. The
    // last burst of a pass is delivered early in the next, so two passes tell.
    const bool emptyLoop = receiver.loopPasses() > 1 && receiver.sentenceCounts().accepted == 0;
    if (stop.raised() || echo.failed() || emptyLoop) receiver.Close();
  };
  receiver.Open();

  echo.check();
  if (!stop.raised() && !echo.failed()) refuseWithoutNmea(receiver, o.file);
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
      "line) and send each decoded fix to the serial or virtual port (and UDP and TCP) as the "
      "simulator would, echoing it on standard output followed by an empty line");
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
  const auto factor = numberIn({0.01L, 1000, true, true});
  cmd->add_option("--rate", options->rate,
                  "With --paced: play this many times faster, 0.01 to 1000 (default 1)")
      ->type_name("X")
      ->check(factor)
      ->needs(paced);
  // The factor's old name, which reads like the run's km/h; kept, hidden, for
  // a release. Given with --rate, the last one counts.
  cmd->add_option("--speed", options->rate, "")
      ->group("")
      ->type_name("X")
      ->check(factor)
      ->needs(paced)
      ->each([](const std::string&) {
        std::cerr << "waymock-cli: replay --speed is now --rate; --speed goes in the next "
                     "release.\n";
      });
  cmd->add_flag("--loop", options->loop,
                "At the end of the log start again from its beginning, until interrupted");
  cmd->add_flag("-q,--quiet", options->quiet, "Do not echo the bursts on standard output");
  cmd->add_flag("--modern", options->modern,
                "Read a multi-constellation receiver's log: GN fix sentences beside GP, the GSV "
                "of GL, GA and GB beside GP, and bursts beginning with $GNRMC as well as $GPRMC");
  addPortOptions(*cmd, options->ports);
  cmd->callback([&action, options] { action = [options] { return replay(*options); }; });
}

}  // namespace waymock::cli
