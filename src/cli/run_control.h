#pragma once

// Scripts steering `run`: the control channel and the scenario.
//
//   --control[=PATH]        listen for control clients on a Unix socket (the
//                           default path unless given, see
//                           defaultControlSocketPath)
//   --control-tcp [ADDR:]PORT  also on TCP, 127.0.0.1 unless ADDR is given;
//                           port 0 lets the system pick one; clients first
//                           say hello with the token from the token file
//   --control-tcp-any       let --control-tcp take an address other than
//                           loopback
//   --control-idle SECONDS  close a client that sends nothing this long
//   --control-clients N     at most N clients on the socket, N on TCP
//   --scenario FILE         faults scheduled over the run
//
// Each fault's beginning and end is reported on standard error and to
// subscribed clients, never on standard output, which carries the bursts.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/control_target.h"
#include "control/fault.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace waymock {
class BackgroundWork;
class Simulation;
namespace generator {
class TTarnNMEAGenerator;
}
namespace control {
class ControlCommands;
class ControlServer;
class FaultSchedule;
}  // namespace control
}  // namespace waymock

namespace waymock::cli {

class PortTargets;
struct PortOptions;

struct ControlOptions {
  CLI::Option* control = nullptr;  // --control, given or not
  std::string socketPath;          // its value; empty: the default path
  std::optional<std::string> tcp;  // --control-tcp as given
  bool tcpAny = false;
  std::optional<std::string> idleSeconds;
  std::optional<long long> clients;
  std::optional<std::string> scenario;

  bool wanted() const;
};

void addControlOptions(CLI::App& command, ControlOptions& options);
// `--control=` would silently mean the default path: refused before parsing
// (a CLI::ValidationError), as `--virtual=` is.
void refuseEmptyControlPath(int argc, const char* const* argv);

// The faults the run's --scenario schedules, none without one. Throws as
// control::readScenario does.
std::vector<control::ScheduledFault> readRunScenario(const ControlOptions& options);

// The control channel and scenario of one run: the simulator as control
// clients see it. The run's loop waits on fd() too, calls service() when it
// wakes, leaves out ticks while paused(), and hands every burst sent to
// transmitted(). Route files that clients ask for are read on a thread of
// its own, so the ticks go on meanwhile.
class RunControl : public control::ControlTarget {
 public:
  // Schedules the scenario and listens (Error for an option, IoError), before
  // the port opens. The fix the generator holds now is the start position.
  RunControl(const ControlOptions& options, const std::vector<control::ScheduledFault>& scenario,
             const PortOptions& ports, generator::TTarnNMEAGenerator& generator,
             Simulation& simulation, PortTargets& targets, std::chrono::nanoseconds interval);
  ~RunControl() override;
  RunControl(const RunControl&) = delete;
  RunControl& operator=(const RunControl&) = delete;

  // The control server's descriptor, -1 without one.
  int fd() const;
  void service();
  bool paused() const { return paused_; }
  void transmitted(const std::string& burst);

  void change(const control::FixChange& change) override;
  void move(const control::MoveRequest& request, std::unique_ptr<motion::Motion> route) override;
  void start(Done done) override;
  void stop() override;
  void pause() override;
  void resume() override;
  nlohmann::json status() const override;

 private:
  void resetFix();
  void startNow();
  nlohmann::json motionJson() const;
  nlohmann::json channelJson() const;

  const PortOptions& ports_;
  generator::TTarnNMEAGenerator& generator_;
  Simulation& simulation_;
  PortTargets& targets_;
  std::chrono::nanoseconds interval_;
  std::unique_ptr<control::FaultSchedule> faults_;
  std::unique_ptr<BackgroundWork> work_;
  std::unique_ptr<control::ControlCommands> commands_;
  std::unique_ptr<control::ControlServer> server_;
  struct StartPosition;
  std::unique_ptr<StartPosition> start_;
  bool paused_ = false;
  long long bursts_ = 0;
};

}  // namespace waymock::cli
