#include "cli/run_control.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <chrono>
#include <iostream>

#include "cli/commands.h"
#include "cli/port_options.h"
#include "control/control_commands.h"
#include "control/control_server.h"
#include "control/fault_schedule.h"
#include "control/generator_control.h"
#include "control/scenario.h"
#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "motion/motion.h"
#include "platform/control_socket.h"
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

// Seconds with "." whatever the locale, as short as they go.
std::string secondsText(double seconds) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, seconds);
  return std::string(text, result.ptr);
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
                  "given; port 0 lets the system pick one, named on standard error)")
      ->type_name("[ADDR:]PORT");
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
  faults_->jump = [this](double metres, double bearing) {
    control::jumpFix(generator_, metres, bearing);
  };
  faults_->onEvent = [this](const control::FaultEvent& event) {
    std::cerr << "waymock-cli: " << control::faultName(event.fault->type)
              << (event.begins ? " begins" : " ends") << " at " << secondsText(event.runSeconds)
              << " s of the run.\n";
    if (server_) server_->publish(control::faultStreamLine(event));
  };
  simulation_.setBurstFilter(faults_.get());
  if (!options.wanted()) return;
  commands_ = std::make_unique<control::ControlCommands>(*this, *faults_);
  server_ =
      std::make_unique<control::ControlServer>([this](std::string_view request, bool& subscribe) {
        return commands_->answer(request, subscribe);
      });
  if (options.control != nullptr && options.control->count() > 0) {
    const std::string path =
        options.socketPath.empty() ? defaultControlSocketPath() : options.socketPath;
    server_->listenUnix(path);
    std::cerr << "waymock-cli: control clients connect to " << path << '\n';
  }
  if (options.tcp) {
    const HostPort address = controlTcpAddress(*options.tcp);
    server_->listenTcp(address.host, address.port);
    std::cerr << "waymock-cli: control clients connect to TCP "
              << hostPortText(address.host, server_->tcpPort()) << '\n';
  }
}

RunControl::~RunControl() {
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
  control::applyFixChange(change, generator_);
}

void RunControl::move(const control::MoveRequest& request) {
  control::applyMove(request, simulation_, generator_);
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

void RunControl::start() {
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
          {"bursts", bursts_}};
}

}  // namespace waymock::cli
