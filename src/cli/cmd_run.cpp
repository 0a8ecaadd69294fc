// waymock-cli run: the simulator without a window. One tick per interval, the
// next interval counted from the end of the previous tick (or, with --tick
// on-second, on a fixed grid of the clock), until --count transmitting ticks
// are done or a signal asks to stop. The fix steps, or travels (--route,
// --move speed-heading).
#include <CLI/CLI.hpp>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "cli/burst_echo.h"
#include "cli/commands.h"
#include "cli/fix_options.h"
#include "cli/motion_options.h"
#include "cli/output_options.h"
#include "cli/port_options.h"
#include "cli/run_control.h"
#include "cli/stop_signals.h"
#include "cli/tick_options.h"
#include "engine/line_fit.h"
#include "engine/simulation.h"
#include "engine/tick_schedule.h"
#include "generator/nmea_generator.h"
#include "motion/motion.h"
#include "platform/folders.h"
#include "support/error.h"
#include "support/regular_file.h"

namespace waymock::cli {

namespace {

struct RunOptions {
  FixOptions fix;
  MotionOptions motion;
  OutputOptions output;
  PortOptions ports;
  TickOptions tick;
  ControlOptions control;
  std::string interval = "1";
  std::string latitudeStep = "1";
  std::string longitudeStep = "1";
  std::optional<long long> count;
  bool moveSatellites = false;
  bool noSatellites = false;
  bool quiet = false;
};

// The satellites the window keeps for this user, unless the command line
// names a file or none.
FixOptions withSatellites(const RunOptions& o) {
  FixOptions fix = o.fix;
  if (!fix.satellites && !o.noSatellites) {
    // One that cannot be read is named as if given, rather than left out unsaid.
    const std::string own = satelliteFilePath();
    const auto status = RegularFile(own).status();
    if (status == RegularFile::Status::open || status == RegularFile::Status::failed) {
      fix.satellites = own;
    }
  }
  return fix;
}

long double parseStep(const std::string& text, const std::string& option) {
  const long double step = parseNumber(text, option);
  if (step < -59.99L || step > 59.99L) raise(option + " must be between -59.99 and 59.99.");
  return step;
}

std::chrono::nanoseconds parseInterval(const std::string& text) {
  const long double seconds = parseNumber(text, "--interval");
  // The time fields carry milliseconds, and a week is far beyond any use and
  // keeps the arithmetic in range.
  if (!(seconds >= kShortestInterval) || seconds > 604800) {
    raise(
        "--interval must be from 0.001 (the time fields carry milliseconds) to 604800 "
        "seconds.");
  }
  return std::chrono::nanoseconds(static_cast<long long>(std::llround(seconds * 1e9L)));
}

// Says once when the burst needs longer on the serial line than the interval
// gives it, and which rate would do.
void checkLineFit(std::size_t bytes, int baudRate, std::chrono::nanoseconds interval) {
  const LineFit fit = burstLineFit(bytes, baudRate, interval);
  if (fit.fits) return;
  // Numbers with "." whatever the locale, which printf's %f and %g would follow.
  const auto seconds = [](std::chrono::nanoseconds time, std::chars_format format, int precision) {
    char text[64];
    const auto [end, error] = std::to_chars(
        text, text + sizeof text, static_cast<double>(time.count()) / 1e9, format, precision);
    return error == std::errc() ? std::string(text, end) : std::string("?");
  };
  std::fprintf(stderr,
               "waymock-cli: A burst of %zu bytes takes %s s on the line at %d baud, longer "
               "than the interval of %s s; ",
               fit.bytes, seconds(fit.lineTime, std::chars_format::fixed, 3).c_str(), baudRate,
               seconds(interval, std::chars_format::general, 6).c_str());
  if (fit.lowestRate > 0) {
    std::fprintf(stderr, "%d baud is the lowest rate that fits.\n", fit.lowestRate);
  } else {
    std::fprintf(stderr, "no rate fits: lengthen --interval.\n");
  }
}

int run(const RunOptions& o) {
  const auto interval = parseInterval(o.interval);
  const long double latitudeStep = parseStep(o.latitudeStep, "--lat-step");
  const long double longitudeStep = parseStep(o.longitudeStep, "--lon-step");
  if (o.count && *o.count < 1) raise("--count must be at least 1.");
  RunPace pace(o.tick, interval);
  // A scenario that cannot be used stops the run before it begins.
  const auto scenario = readRunScenario(o.control);

  PortTargets targets(o.ports);
  generator::TTarnNMEAGenerator generator(fixClock(o.fix), targets.opener());
  // The profile first: it says how a speed in km/h becomes knots.
  applyOutputOptions(o.output, generator);
  applyFixOptions(withSatellites(o), generator);
  // A route that cannot be used is said before any port opens.
  std::unique_ptr<motion::Motion> motion = makeRunMotion(o.motion, o.fix, generator);

  StopSignals signals;
  // The port is written on a thread of its own: network targets get each
  // burst on time whatever the serial device does.
  Simulation simulation(generator, nullptr, Transmitter::PortWrite::onThread);
  simulation.settings.latitudeShortStep = latitudeStep;
  simulation.settings.longitudeShortStep = longitudeStep;
  simulation.settings.moveSatellites = o.moveSatellites;
  simulation.setMotion(std::move(motion));
  simulation.onUdpError = targets.udpWarning();
  // Scripts steer the run between ticks, from this thread. A control option
  // that cannot be used is said before any port opens.
  std::unique_ptr<RunControl> control;
  if (o.control.wanted() || o.control.scenario) {
    control = std::make_unique<RunControl>(o.control, scenario, o.ports, generator, simulation,
                                           targets, interval);
  }
  targets.open(generator);
  targets.attach(simulation);
  BurstEcho echo([&signals] { return signals.raised(); });
  // The virtual port has no line rate: only a real device can be too slow.
  bool lineChecked = targets.virtualPort();
  simulation.onTransmitted = [&](const std::string& burst) {
    if (!o.quiet) echo.write(burst);
    if (control) control->transmitted(burst);
    if (!lineChecked) checkLineFit(burst.size(), o.ports.baud, interval);
    lineChecked = true;
  };
  long long transmitted = 0;
  bool done = false;
  // A tick whose burst a fault held back counts as sent: a run whose every
  // burst a dropout removes still ends after --count ticks.
  simulation.onHeldBack = [&] { done = o.count && ++transmitted >= *o.count; };

  // What the note about a port that took no data said, until it takes data again.
  enum class Idle { no, stalled, gone } idle = Idle::no;
  const char* const port = targets.portName().c_str();
  // Applies what the port did with its last burst; true once --count is done.
  const auto portAnswered = [&](int written) {
    if (written > 0) {
      if (idle != Idle::no) {
        std::fprintf(stderr,
                     idle == Idle::gone ? "waymock-cli: %s is back.\n"
                                        : "waymock-cli: %s takes data again.\n",
                     port);
      }
      idle = Idle::no;
      return o.count && ++transmitted >= *o.count;
    }
    if (idle == Idle::no && !generator.GetSentences().empty()) {
      // A device that went away is opened again on every write until it is
      // back; say so once.
      idle = generator.portLost() ? Idle::gone : Idle::stalled;
      std::fprintf(stderr,
                   idle == Idle::gone ? "waymock-cli: %s went away; still trying.\n"
                                      : "waymock-cli: %s took no data; still trying.\n",
                   port);
    }
    return false;
  };
  const auto running = [&] { return !done && !signals.raised() && !echo.failed(); };
  while (running()) {
    while (running()) {
      if (const auto written = simulation.collectWrite()) done = portAnswered(*written);
      if (done || pace.due()) break;
      pace.wait(signals, simulation.writeEndedFd(), control ? control->fd() : -1);
      if (control) control->service();
    }
    targets.reportRefusedClients();
    targets.reportAnnouncements();
    if (!running()) break;
    // A time given by --utc stays fixed. A paused run lets its ticks pass.
    if (!control || !control->paused()) simulation.tick(o.fix.utc ? std::nullopt : pace.epoch());
    pace.ticked();
  }
  simulation.waitForWrite();
  pace.reportSkipped();
  targets.close(generator);
  echo.check();
  return 0;
}

}  // namespace

void addRunCommand(CLI::App& app, Action& action) {
  auto* cmd = app.add_subcommand(
      "run",
      "Run the simulator: write a burst to the serial or virtual port (and UDP and TCP) at "
      "once and then once per interval, echo it on standard output followed by an empty line, "
      "and move the fix; Ctrl-C or SIGTERM stops it");
  auto options = std::make_shared<RunOptions>();
  addFixOptions(*cmd, options->fix);
  addOutputOptions(*cmd, options->output);
  addPortOptions(*cmd, options->ports);
  cmd->option_defaults()->group("Simulation");
  cmd->add_option("--interval", options->interval,
                  "Seconds from the end of one tick to the next (with --tick on-second, from "
                  "one tick's time to the next's); fractions allowed, e.g. 0.05, from 0.001 "
                  "(default 1)")
      ->type_name("SECONDS");
  cmd->add_option("--lat-step", options->latitudeStep,
                  "Arc-seconds the latitude moves per tick, -59.99 to 59.99 (default 1)");
  cmd->add_option("--lon-step", options->longitudeStep,
                  "Arc-seconds the longitude moves per tick, -59.99 to 59.99 (default 1)");
  decimalOnly(cmd->add_option("-c,--count", options->count,
                              "Stop after N ticks that wrote to the port or whose burst a fault "
                              "held back (a dropout), so a run capped this way ends even when "
                              "faults remove every burst (default: run until interrupted)")
                  ->type_name("N"));
  cmd->add_flag("--move-satellites", options->moveSatellites,
                "Turn the active satellites by one degree of azimuth per tick");
  cmd->add_flag("--no-satellites", options->noSatellites,
                "Send no satellites; without this or --satellites the run uses the satellite "
                "file the window keeps for this user, when it exists "
                "(~/.local/share/waymock/satellites.ini, or under $XDG_DATA_HOME)")
      ->group("Fix")
      ->excludes("--satellites");
  cmd->add_flag("-q,--quiet", options->quiet, "Do not echo the bursts on standard output");
  addTickOptions(*cmd, options->tick);
  addMotionOptions(*cmd, options->motion);
  addControlOptions(*cmd, options->control);
  cmd->callback([&action, options] { action = [options] { return run(*options); }; });
}

}  // namespace waymock::cli
