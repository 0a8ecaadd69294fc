#pragma once

#include <QGroupBox>
#include <QSocketNotifier>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "control/fault.h"

namespace Ui {
class ControlGroup;
}

namespace waymock {
class BackgroundWork;
class Simulation;
namespace control {
class ControlCommands;
class ControlServer;
class ControlTarget;
class FaultSchedule;
}  // namespace control
}  // namespace waymock

namespace waymock::app {

class WindowPrompts;

// The Advanced page's Control group: the control channel through which
// scripts steer the window (off by default; its socket at the path given or
// the default one), a scenario of faults injected over each run, and the list
// of those faults' beginnings and ends. Its values are settings of the
// window's table; the window is the control target.
class ControlGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit ControlGroup(QWidget* parent = nullptr);
  ~ControlGroup() override;

  // The controls, for the settings table.
  Ui::ControlGroup& form() { return *ui_; }
  // What the channel steers and the faults filter, and the worker that reads
  // the route files clients ask for; all must outlive the group.
  void attach(control::ControlTarget& target, Simulation& simulation, BackgroundWork& work,
              WindowPrompts& prompts);
  // Closes the channel and lets go of the simulation, before the window's
  // parts end.
  void detach();

  // The scenario file chosen, empty for none; a Start reads it.
  std::string scenarioFile() const;
  // Before a run: the scenario's faults scheduled afresh at the run's
  // interval.
  void prepareRun(std::chrono::nanoseconds interval,
                  const std::vector<control::ScheduledFault>& scenario);
  // The channel listens, at the socket given, when its box is checked: once,
  // after values were set with the controls' signals blocked.
  void applyValues();
  // A burst went out: counted, and streamed to subscribed clients.
  void transmitted(const std::string& burst);
  long long bursts() const { return bursts_; }
  // The socket clients connect to, empty while the channel is off.
  const std::string& socketPath() const { return listening_; }

 private slots:
  // On: listens (the error box says why it cannot, and the box goes off);
  // off: closes the channel.
  void cbControlClick();
  void btnScenarioClick();
  void ControlSocketActivated();

 private:
  void schedule(std::chrono::nanoseconds interval);

  std::unique_ptr<Ui::ControlGroup> ui_;
  control::ControlTarget* target_ = nullptr;
  Simulation* simulation_ = nullptr;
  BackgroundWork* work_ = nullptr;
  WindowPrompts* prompts_ = nullptr;
  std::unique_ptr<control::FaultSchedule> faults_;
  std::unique_ptr<control::ControlCommands> commands_;
  std::unique_ptr<control::ControlServer> server_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::string listening_;
  long long bursts_ = 0;
};

}  // namespace waymock::app
