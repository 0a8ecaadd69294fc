// waymock-cli run: the simulator without a window. One tick per interval, the
// next interval counted from the end of the previous tick, until --count
// transmitting ticks are done or a signal asks to stop.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/fix_options.h"
#include "cli/port_options.h"
#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "support/error.h"

namespace waymock::cli {

namespace {

struct RunOptions {
  FixOptions fix;
  PortOptions ports;
  std::string interval = "1";
  std::string latitudeStep = "1";
  std::string longitudeStep = "1";
  std::optional<long long> count;
  bool moveSatellites = false;
};

// SIGINT, SIGTERM and SIGHUP end the run between ticks. The handler writes to
// a pipe that the wait between ticks polls, so a signal that arrives just
// before the wait starts still cuts it short.
class StopSignals {
 public:
  StopSignals() {
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw RuntimeFailure("Cannot create a pipe.");
    writeEnd_ = pipe_[1];
    struct sigaction action {};
    action.sa_handler = &StopSignals::handle;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &old_[i]);
    // A reader of standard output that goes away ends the run through a
    // failed write, so the port is still closed properly.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &oldPipe_);
  }
  ~StopSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &old_[i], nullptr);
    sigaction(SIGPIPE, &oldPipe_, nullptr);
    writeEnd_ = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  bool raised() const { return raised_ != 0; }

  // Waits `duration`, or less when a stop signal comes.
  void wait(std::chrono::nanoseconds duration) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + duration;
    while (!raised()) {
      const auto left = deadline - Clock::now();
      if (left <= std::chrono::nanoseconds::zero()) return;
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
      const timespec timeout{static_cast<time_t>(seconds.count()),
                             static_cast<long>((left - seconds).count())};
      pollfd p{pipe_[0], POLLIN, 0};
      if (ppoll(&p, 1, &timeout, nullptr) > 0) return;
    }
  }

 private:
  static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

  static void handle(int) {
    const int saved = errno;
    raised_ = 1;
    if (writeEnd_ >= 0) {
      const char byte = 1;
      [[maybe_unused]] const ssize_t n = ::write(writeEnd_, &byte, 1);
    }
    errno = saved;
  }

  static inline volatile sig_atomic_t raised_ = 0;
  static inline volatile int writeEnd_ = -1;
  int pipe_[2] = {-1, -1};
  std::array<struct sigaction, kSignals.size()> old_{};
  struct sigaction oldPipe_ {};
};

long double parseStep(const std::string& text, const std::string& option) {
  const long double step = parseNumber(text, option);
  if (step < -59.99L || step > 59.99L) raise(option + " must be between -59.99 and 59.99.");
  return step;
}

std::chrono::nanoseconds parseInterval(const std::string& text) {
  const long double seconds = parseNumber(text, "--interval");
  // A week is far beyond any use and keeps the arithmetic in range.
  if (!(seconds > 0) || seconds > 604800) {
    raise("--interval must be more than 0 and at most 604800 seconds.");
  }
  return std::chrono::nanoseconds(static_cast<long long>(std::llround(seconds * 1e9L)));
}

int run(const RunOptions& o) {
  const auto interval = parseInterval(o.interval);
  const long double latitudeStep = parseStep(o.latitudeStep, "--lat-step");
  const long double longitudeStep = parseStep(o.longitudeStep, "--lon-step");
  if (o.count && *o.count < 1) raise("--count must be at least 1.");

  PortTargets targets(o.ports);
  generator::TTarnNMEAGenerator generator(fixClock(o.fix), targets.opener());
  applyFixOptions(o.fix, generator);

  StopSignals signals;
  targets.open(generator);
  Simulation simulation(generator, targets.udp());
  simulation.settings.latitudeShortStep = latitudeStep;
  simulation.settings.longitudeShortStep = longitudeStep;
  simulation.settings.moveSatellites = o.moveSatellites;
  simulation.onUdpError = targets.udpWarning();
  // Each burst and an empty line, as the output log keeps them, so standard
  // output can be replayed later; flushed so a pipe sees each burst at once.
  int outputError = 0;
  simulation.onTransmitted = [&outputError](const std::string& burst) {
    const std::string text = burst + "\r\n";
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
      outputError = errno != 0 ? errno : EIO;
    }
  };

  long long transmitted = 0;
  while (!signals.raised() && outputError == 0) {
    if (simulation.tick() > 0 && o.count && ++transmitted >= *o.count) break;
    if (outputError != 0) break;
    signals.wait(interval);
  }
  targets.close(generator);
  // A reader that stopped reading ends the run quietly; any other failure to
  // write standard output is an error.
  if (outputError != 0 && outputError != EPIPE) {
    throw RuntimeFailure("Cannot write to standard output.");
  }
  return 0;
}

}  // namespace

void addRunCommand(CLI::App& app, Action& action) {
  auto* cmd = app.add_subcommand(
      "run",
      "Run the simulator: write a burst to the serial or virtual port (and UDP) at once and "
      "then once per interval, echo it on standard output followed by an empty line, and move "
      "the fix; Ctrl-C or SIGTERM stops it");
  // As usual for command lines, an option given twice takes the last value.
  cmd->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  auto options = std::make_shared<RunOptions>();
  addFixOptions(*cmd, options->fix);
  addPortOptions(*cmd, options->ports);
  const auto group = "Simulation";
  cmd->add_option("--interval", options->interval,
                  "Seconds from the end of one tick to the next; fractions allowed, e.g. 0.05 "
                  "(default 1)")
      ->group(group)
      ->type_name("ARCSEC")
      ->type_name("ARCSEC")
      ->type_name("SECONDS");
  cmd->add_option("--lat-step", options->latitudeStep,
                  "Arc-seconds the latitude moves per tick, -59.99 to 59.99 (default 1)")
      ->group(group);
  cmd->add_option("--lon-step", options->longitudeStep,
                  "Arc-seconds the longitude moves per tick, -59.99 to 59.99 (default 1)")
      ->group(group);
  cmd->add_option("--count", options->count,
                  "Stop after N ticks that wrote to the port (default: run until interrupted)")
      ->group(group)
      ->type_name("N");
  cmd->add_flag("--move-satellites", options->moveSatellites,
                "Turn the active satellites by one degree of azimuth per tick")
      ->group(group);
  cmd->callback([&action, options] { action = [options] { return run(*options); }; });
}

}  // namespace waymock::cli
