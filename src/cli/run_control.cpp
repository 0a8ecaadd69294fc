#include "cli/run_control.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <chrono>
#include <iostream>

#include "cli/commands.h"
#include "cli/fix_options.h"
#include "cli/port_options.h"
#include "control/control_commands.h"
#include "control/control_server.h"
#include "control/fault_schedule.h"
#include "control/generator_control.h"
#include "control/scenario.h"
#include "engine/background_work.h"
#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "motion/motion.h"
#include "platform/control_socket.h"
#include "platform/listen_address.h"
#include "platform/socket_address.h"
#include "support/error.h"
#include "support/shown_text.h"
#include "support/units.h"

namespace waymock::cli {

namespace {

// "[ADDR:]PORT", an IPv6 address in brackets; 127.0.0.1 unless given.
HostPort controlTcpAddress(const std::string& given) {
  const auto malformed = [&] {
    raise("--control-tcp: \"" + shownText(given) +
          "\" is not [ADDR:]PORT with a port from 0 to 65535.");
  };
  const auto colon = given.rfind(':');
  HostPort address{"127.0.0.1", 0};
  std::string port = given;
  if (colon != std::string::npos) {
    address.host = given.substr(0, colon);
    port = given.substr(colon + 1);
    if (address.host.starts_with('[') && address.host.ends_with(']') && address.host.size() > 2) {
      address.host = address.host.substr(1, address.host.size() - 2);
    } else if (address.host.empty() || address.host.find_first_of(":[]") != std::string::npos) {
      malformed();
    }
  }
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), address.port);
  if (port.empty() || port.size() > 5 || error != std::errc() || end != port.data() + port.size() ||
      address.port < 0 || address.port > 65535) {
    malformed();
  }
  return address;
}

// --control-idle: seconds, 0 for never.
std::chrono::milliseconds idleLimit(const std::optional<std::string>& given) {
  if (!given) return control::ControlServer::Limits{}.idleLimit;
  const long double seconds = parseNumber(*given, "--control-idle");
  if (!(seconds >= 0) || seconds > 86400) {
    raise("--control-idle must be from 0 (never) to 86400 seconds.");
  }
  return std::chrono::milliseconds(std::llround(seconds * 1000));
}

double unixNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

bool ControlOptions::wanted() const {
  return (control != nullptr && control->count() > 0) || tcp.has_value();
}

void addControlOptions(CLI::App& command, ControlOptions& o) {
  const std::string previousGroup = command.option_defaults()->get_group();
  command.option_defaults()->group("Control");
  o.control = command
                  .add_flag("--control{}", o.socketPath,
                            "Let scripts steer the run over a Unix socket (JSON lines; see "
                            "waymock-cli ctl), at PATH when given as --control=PATH, else at " +
                                defaultControlSocketPath())
                  ->type_name("PATH");
  command
      .add_option("--control-tcp", o.tcp,
                  "Also take control clients on TCP at [ADDR:]PORT (ADDR 127.0.0.1 unless "
                  "given; port 0 lets the system pick one, named on standard error). Each "
                  "client first sends the token written to a file only you can read "
                  "(tcp-PORT.token beside the default socket; waymock-cli ctl --tcp reads it)")
      ->type_name("[ADDR:]PORT");
  command.add_flag("--control-tcp-any", o.tcpAny,
                   "Let --control-tcp listen on an address other than loopback. The channel "
                   "can move the contents of any file you can read into its replies: never "
                   "open it to others");
  command
      .add_option("--control-idle", o.idleSeconds,
                  "Close a control client that sends nothing for SECONDS, unless it is "
                  "subscribed or waits for a reply (default 60; 0: never)")
      ->type_name("SECONDS");
  decimalOnly(command
                  .add_option("--control-clients", o.clients,
                              "At most N control clients on the socket and N on TCP (default "
                              "1024 each); at the cap a new one takes the place of the one idle "
                              "the longest, on TCP of one that has not said hello")
                  ->type_name("N"));
  command
      .add_option("--scenario", o.scenario,
                  "Inject the faults a scenario FILE schedules over the run (JSON); each "
                  "fault's beginning and end is noted on standard error")
      ->type_name("FILE");
  command.option_defaults()->group(previousGroup);
}

void refuseEmptyControlPath(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--control=") {
      throw CLI::ValidationError("--control", "must not be empty");
    }
  }
}

// The fix that Start and Stop return to.
struct RunControl::StartPosition {
  int latDegree, latMinute, lonDegree, lonMinute;
  long double latSecond, lonSecond;
  TCardinalPoint latDirection, lonDirection;
};

std::vector<control::ScheduledFault> readRunScenario(const ControlOptions& options) {
  if (!options.scenario) return {};
  return control::readScenario(*options.scenario);
}

RunControl::RunControl(const ControlOptions& options,
                       const std::vector<control::ScheduledFault>& scenario,
                       const PortOptions& ports, generator::TTarnNMEAGenerator& generator,
                       Simulation& simulation, PortTargets& targets,
                       std::chrono::nanoseconds interval)
    : ports_(ports),
      generator_(generator),
      simulation_(simulation),
      targets_(targets),
      interval_(interval),
      faults_(std::make_unique<control::FaultSchedule>(interval)),
      start_(std::make_unique<StartPosition>(StartPosition{
          generator.Latitude_Degree(), generator.Latitude_Minute(), generator.Longitude_Degree(),
          generator.Longitude_Minute(), generator.Latitude_Second(), generator.Longitude_Second(),
          generator.Latitude_Direction(), generator.Longitude_Direction()})) {
  for (const control::ScheduledFault& f : scenario) faults_->add(f);
  faults_->onEvent = [this](const control::FaultEvent& event) {
    std::cerr << "waymock-cli: " << control::faultEventText(event) << ".\n";
    if (server_) server_->publish(control::faultStreamLine(event));
  };
  simulation_.setBurstFilter(faults_.get());
  if (!options.wanted()) return;
  control::ControlServer::Limits limits;
  limits.idleLimit = idleLimit(options.idleSeconds);
  if (options.clients) {
    if (*options.clients < 1 || *options.clients > 100000)
      raise("--control-clients must be from 1 to 100000.");
    limits.maxUnixClients = limits.maxTcpClients = static_cast<std::size_t>(*options.clients);
  }
  const std::optional<HostPort> tcp =
      options.tcp ? std::optional(controlTcpAddress(*options.tcp)) : std::nullopt;
  work_ = std::make_unique<BackgroundWork>();
  commands_ = std::make_unique<control::ControlCommands>(*this, *faults_, work_.get());
  server_ = std::make_unique<control::ControlServer>(
      [this](std::string_view request, const control::ControlServer::Reply& reply,
             bool& subscribe) { commands_->answer(request, reply, subscribe); },
      limits);
  server_->watch(work_->fd(), [this] { work_->collect(); });
  if (options.control != nullptr && options.control->count() > 0) {
    const std::string path =
        options.socketPath.empty() ? defaultControlSocketPath() : options.socketPath;
    server_->listenUnix(path);
    std::cerr << "waymock-cli: control clients connect to " << path << '\n';
  }
  if (tcp) {
    try {
      server_->listenTcp(tcp->host, tcp->port, options.tcpAny);
    } catch (const IoError&) {
      throw;
    } catch (const Error& e) {
      // The flag lifts one refusal only; another address error is said as it is.
      if (listenAddress(tcp->host, tcp->port).isLoopback()) throw;
      raise(std::string("--control-tcp: ") + e.what() + " Give --control-tcp-any to allow it.");
    }
    std::cerr << "waymock-cli: control clients connect to TCP "
              << hostPortText(tcp->host, server_->tcpPort()) << " with the token in "
              << server_->tokenFile() << '\n';
  }
}

RunControl::~RunControl() {
  // Loads still running end before what their steps would use.
  server_.reset();
  work_.reset();
  simulation_.setBurstFilter(nullptr);
}

int RunControl::fd() const {
  return server_ ? server_->fd() : -1;
}

void RunControl::service() {
  if (server_) server_->service();
}

void RunControl::transmitted(const std::string& burst) {
  ++bursts_;
  if (server_ && server_->hasSubscribers())
    server_->publish(control::burstStreamLine(burst, unixNow()));
}

void RunControl::change(const control::FixChange& change) {
  control::applyFixChange(change, simulation_, generator_);
}

void RunControl::move(const control::MoveRequest& request, std::unique_ptr<motion::Motion> route) {
  control::applyMove(request, std::move(route), simulation_, generator_);
}

void RunControl::resetFix() {
  const StartPosition& s = *start_;
  generator_.SetLatitude_Degree(s.latDegree);
  generator_.SetLatitude_Minute(s.latMinute);
  generator_.SetLatitude_Second(s.latSecond);
  generator_.SetLatitude_Direction(s.latDirection);
  generator_.SetLongitude_Degree(s.lonDegree);
  generator_.SetLongitude_Minute(s.lonMinute);
  generator_.SetLongitude_Second(s.lonSecond);
  generator_.SetLongitude_Direction(s.lonDirection);
}

void RunControl::start(Done done) {
  try {
    startNow();
  } catch (const Error& e) {
    done(e.what());
    return;
  }
  done(std::nullopt);
}

void RunControl::startNow() {
  if (generator_.PortName().empty()) {
    simulation_.waitForWrite();
    if (!generator_.OpenPort(targets_.portName(), ports_.baud)) {
      const std::string& reason = generator_.lastOpenError();
      raise("Cannot connect to " + targets_.portName() + "." +
            (reason.empty() ? "" : " " + reason));
    }
  }
  resetFix();
  simulation_.restart();
  paused_ = false;
}

void RunControl::stop() {
  simulation_.waitForWrite();
  generator_.ClosePort();
  resetFix();
  simulation_.restart();
  paused_ = false;
}

void RunControl::pause() {
  paused_ = true;
  simulation_.pause();
}

void RunControl::resume() {
  paused_ = false;
  simulation_.resume();
}

nlohmann::json RunControl::motionJson() const {
  const motion::Motion* m = simulation_.motion();
  if (m == nullptr) {
    return {{"model", "steps"},
            {"lat_step", static_cast<double>(simulation_.settings.latitudeShortStep)},
            {"lon_step", static_cast<double>(simulation_.settings.longitudeShortStep)}};
  }
  const motion::MotionProgress p = m->progress();
  nlohmann::json j = {{"model", p.total ? "route" : "moving"},
                      {"speed_kmh", m->fix().speed * kKmhPerMetrePerSecond},
                      {"course", m->fix().course},
                      {"metres", p.done}};
  if (p.total) j["route_metres"] = *p.total;
  return j;
}

nlohmann::json RunControl::status() const {
  nlohmann::json udp = nlohmann::json::array();
  for (const HostPort& a : ports_.udp) udp.push_back(hostPortText(a.host, a.port));
  nlohmann::json tcp = nlohmann::json::array();
  for (const HostPort& a : ports_.tcp) tcp.push_back(hostPortText(a.host, a.port));
  const bool open = !generator_.PortName().empty();
  return {{"fix", control::fixJson(generator_)},
          {"state", !open     ? "stopped"
                    : paused_ ? "paused"
                              : "running"},
          {"motion", motionJson()},
          {"targets", {{"port", targets_.portName()}, {"udp", udp}, {"tcp", tcp}}},
          {"interval", std::chrono::duration<double>(interval_).count()},
          {"control", channelJson()},
          {"bursts", bursts_}};
}

nlohmann::json RunControl::channelJson() const {
  nlohmann::json channel = nlohmann::json::object();
  if (!server_) return channel;
  if (server_->tcpPort() != 0) {
    channel["tcp_port"] = server_->tcpPort();
    channel["token_file"] = server_->tokenFile();
  }
  return channel;
}

}  // namespace waymock::cli
