// waymock-cli replay: file mode without a window. The log is replayed through
// the file receiver, and each decoded fix is copied into a generator and sent
// to the port (and UDP) like a simulator tick, until the end of the log or a
// signal.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/port_options.h"
#include "engine/file_relay.h"
#include "generator/nmea_generator.h"
#include "receiver/file_gps_receiver.h"

namespace waymock::cli {

namespace {

struct ReplayOptions {
  std::string file;
  int delay = 1000;
  PortOptions ports;
};

// SIGINT, SIGTERM and SIGHUP only raise a flag; the replay looks at it between
// lines and in its waits, which it sleeps in short slices.
class StopFlag {
 public:
  StopFlag() {
    struct sigaction action {};
    action.sa_handler = &StopFlag::handle;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &old_[i]);
    // A reader of standard output that goes away ends the replay through a
    // failed write, so the port is still closed properly.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &oldPipe_);
  }
  ~StopFlag() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &old_[i], nullptr);
    sigaction(SIGPIPE, &oldPipe_, nullptr);
  }
  StopFlag(const StopFlag&) = delete;
  StopFlag& operator=(const StopFlag&) = delete;

  bool raised() const { return raised_ != 0; }

 private:
  static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
  static void handle(int) { raised_ = 1; }

  static inline volatile sig_atomic_t raised_ = 0;
  std::array<struct sigaction, kSignals.size()> old_{};
  struct sigaction oldPipe_ {};
};

bool isLogFile(const std::string& name) {
  std::error_code error;
  return std::filesystem::exists(name, error) && !std::filesystem::is_directory(name, error);
}

int replay(const ReplayOptions& o) {
  // The receiver quietly ignores a missing file; here the user asked for it.
  if (!isLogFile(o.file)) throw RuntimeFailure("Cannot find the log file " + o.file + ".");

  PortTargets targets(o.ports);
  generator::TTarnNMEAGenerator generator(systemClock(), targets.opener());
  receiver::TTarnFileGPSReceiver receiver;
  receiver.SetDelay(o.delay);
  receiver.SetFileName(o.file);

  StopFlag stop;
  targets.open(generator);
  struct ClosePort {
    PortTargets& targets;
    generator::TTarnNMEAGenerator& generator;
    ~ClosePort() { targets.close(generator); }
  } closePort{targets, generator};

  FileRelay relay(generator, receiver, targets.udp());
  relay.onUdpError = targets.udpWarning();
  // Each burst and an empty line, as the output log keeps them; flushed so a
  // pipe sees each burst at once.
  int outputError = 0;
  relay.onTransmitted = [&](const std::string& burst) {
    const std::string text = burst + "\r\n";
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
      outputError = errno != 0 ? errno : EIO;
    }
  };
  receiver.OnReceive = [&relay](receiver::TTarnCustomGPSReceiver&) { relay.relay(); };
  receiver.processEvents = [&] {
    if (stop.raised() || outputError != 0) receiver.Close();
  };
  receiver.Open();

  // A reader that stopped reading ends the replay quietly; any other failure
  // to write standard output is an error.
  if (outputError != 0 && outputError != EPIPE) {
    throw RuntimeFailure("Cannot write to standard output.");
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
  cmd->add_option("--delay", options->delay,
                  "Milliseconds to wait after each burst (default 1000; 0 replays at full speed)")
      ->check(CLI::NonNegativeNumber);
  addPortOptions(*cmd, options->ports);
  cmd->callback([&action, options] { action = [options] { return replay(*options); }; });
}

}  // namespace waymock::cli
