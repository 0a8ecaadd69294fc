// The window as the control channel's target: each request acts as the user
// would, on the same fields and buttons, but a request that cannot be done
// answers with the reason instead of a box, so a script never waits on one.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <algorithm>

#include "app/control_group.h"
#include "app/file_mode_controller.h"
#include "app/main_window.h"
#include "app/motion_group.h"
#include "control/generator_control.h"
#include "support/error.h"
#include "ui_main_window.h"

namespace waymock::app {

void TfrmMain::change(const control::FixChange& change) {
  // The position as a slider move: the generator's fix only, so Start and
  // Stop still go back to the start position. The satellites as the editor
  // sets them.
  control::FixChange fix;
  fix.latitude = change.latitude;
  fix.longitude = change.longitude;
  fix.satellites = change.satellites;
  control::applyFixChange(fix, generator_);
  // The rest as typed on the Settings page, applied as a page switch does.
  const std::pair<const std::optional<double>&, QDoubleSpinBox*> fields[] = {
      {change.altitude, ui_->efAlt},    {change.speedKmh, ui_->efSpeed},
      {change.heading, ui_->efHeading}, {change.pdop, ui_->efPDOP},
      {change.hdop, ui_->efHDOP},       {change.vdop, ui_->efVDOP},
  };
  for (const auto& [value, field] : fields) {
    if (value) field->setValue(*value);
  }
  ApplySettings();
  if (change.satellites) ui_->PaintBox->update();
}

void TfrmMain::move(const control::MoveRequest& request) {
  control::applyMove(request, simulation_, generator_);
  showMove(request);
  ui_->MotionGroup->setRunning(simulation_.motion() != nullptr);
  enableFixControls();
  showMotionProgress();
}

void TfrmMain::start() {
  const std::string port = ui_->cmbCom->currentText().trimmed().toStdString();
  if (port.empty()) waymock::raise("Select a serial port.");
  if (generator_.PortName() != port) {
    generator_.ClosePort();
    bool ok = false;
    const int rate = ui_->cmbBaudRate->currentText().toInt(&ok, 10);
    std::string reason = ok ? "" : "No baud rate is selected.";
    if (!ok || !openPort(port, rate, reason)) {
      stopRun();
      showPauseState();
      waymock::raise("Cannot connect to " + port + "." + (reason.empty() ? "" : " " + reason));
    }
  }
  // A script gets one answer: a target that cannot be opened fails the
  // Start, and nothing of it stays open.
  std::vector<std::string> targets;
  targetProblems_ = &targets;
  std::optional<std::string> problem;
  try {
    problem = startRun();
  } catch (...) {
    targetProblems_ = nullptr;
    throw;
  }
  targetProblems_ = nullptr;
  if (!problem && !targets.empty()) {
    stopRun();
    problem = targets.front();
    std::replace(problem->begin(), problem->end(), '\n', ' ');
  }
  showPauseState();
  if (problem) waymock::raise(*problem);
}

void TfrmMain::stop() {
  stopRun();
  showPauseState();
}

void TfrmMain::pause() {
  if (fileMode_->active()) {
    if (!fileMode_->paused()) fileMode_->pause();
  } else if (mainTimer_.isActive()) {
    mainTimer_.stop();
    simulation_.pause();
  }
  showPauseState();
}

void TfrmMain::resume() {
  if (fileMode_->active()) {
    if (fileMode_->paused()) fileMode_->pause();
  } else if (simulationStarted_ && !mainTimer_.isActive()) {
    simulation_.resume();
    mainTimer_.start();
  }
  showPauseState();
}

nlohmann::json TfrmMain::status() const {
  const bool open = !generator_.PortName().empty();
  const bool held = fileMode_->active() ? fileMode_->paused() : !mainTimer_.isActive();
  return {{"fix", control::fixJson(generator_)},
          {"state", !open  ? "stopped"
                    : held ? "paused"
                           : "running"},
          {"mode", fileMode_->active() ? "file" : "simulator"},
          {"targets", {{"port", ui_->cmbCom->currentText().trimmed().toStdString()}}},
          {"bursts", ui_->ControlGroup->bursts()}};
}

}  // namespace waymock::app
