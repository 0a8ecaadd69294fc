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
  // What a running route sets itself is refused before anything changes.
  control::checkFixChange(change, simulation_);
  // The position as a slider move: the generator's fix only (or where a
  // motion by speed and heading goes on from), so Start and Stop still go
  // back to the start position. The satellites as the editor sets them.
  control::FixChange fix;
  fix.latitude = change.latitude;
  fix.longitude = change.longitude;
  fix.satellites = change.satellites;
  control::applyFixChange(fix, simulation_, generator_);
  // The rest as typed on the Settings page, applied as a page switch does.
  std::optional<double> speedKmh = change.speedKmh;
  if (change.speedKnots) speedKmh = static_cast<double>(generator_.knotsToKmh(*change.speedKnots));
  const std::pair<const std::optional<double>&, QDoubleSpinBox*> fields[] = {
      {change.altitude, ui_->efAlt}, {speedKmh, ui_->efSpeed},   {change.heading, ui_->efHeading},
      {change.pdop, ui_->efPDOP},    {change.hdop, ui_->efHDOP}, {change.vdop, ui_->efVDOP},
  };
  for (const auto& [value, field] : fields) {
    if (value) field->setValue(*value);
  }
  ApplySettings();
  if (change.satellites) ui_->PaintBox->update();
}

void TfrmMain::move(const control::MoveRequest& request, std::unique_ptr<motion::Motion> route) {
  control::applyMove(request, std::move(route), simulation_, generator_);
  showMove(request);
  ui_->MotionGroup->setRunning(simulation_.motion() != nullptr);
  enableFixControls();
  showMotionProgress();
}

void TfrmMain::start(Done done) {
  const std::string port = ui_->cmbCom->currentText().trimmed().toStdString();
  if (port.empty()) {
    done("Select a serial port.");
    return;
  }
  if (generator_.PortName() != port) {
    generator_.ClosePort();
    bool ok = false;
    const int rate = ui_->cmbBaudRate->currentText().toInt(&ok, 10);
    std::string reason = ok ? "" : "No baud rate is selected.";
    if (!ok || !openPort(port, rate, reason)) {
      stopRun();
      showPauseState();
      done("Cannot connect to " + port + "." + (reason.empty() ? "" : " " + reason));
      return;
    }
  }
  // A script gets one answer: a target that cannot be opened fails the
  // Start, and nothing of it stays open. The targets open before the run's
  // files are read, so their problems are all in when the answer comes.
  auto targets = std::make_shared<std::vector<std::string>>();
  targetProblems_ = targets.get();
  try {
    startRun([this, done, targets](std::optional<std::string> problem) {
      if (!problem && !targets->empty()) {
        stopRun();
        problem = targets->front();
        std::replace(problem->begin(), problem->end(), '\n', ' ');
      }
      showPauseState();
      done(problem);
    });
  } catch (...) {
    targetProblems_ = nullptr;
    throw;
  }
  targetProblems_ = nullptr;
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
