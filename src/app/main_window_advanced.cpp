// The window's Advanced page: file mode's progress and pace, and the motion
// that moves the fix instead of the steps.
#include <QApplication>
#include <QSocketNotifier>

#include "app/address_edit.h"
#include "app/control_group.h"
#include "app/file_mode_controller.h"
#include "app/file_progress_group.h"
#include "app/focus_keeping.h"
#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/motion_group.h"
#include "app/output_group.h"
#include "control/scenario.h"
#include "engine/motion_fix.h"
#include "motion/motion_settings.h"
#include "support/error.h"
#include "support/units.h"
#include "ui_main_window.h"

namespace waymock::app {

void TfrmMain::connectAdvancedPage() {
  ui_->MotionGroup->setPrompts(prompts_);
  // What is read off the tick's thread (a Start's files, a client's route)
  // is put in use here, between ticks.
  loadsReady_ = std::make_unique<QSocketNotifier>(loads_.fd(), QSocketNotifier::Read);
  connect(loadsReady_.get(), &QSocketNotifier::activated, this, [this] { loads_.collect(); });
  ui_->ControlGroup->attach(*this, simulation_, loads_, prompts_);
  connect(fileMode_, &FileModeController::progressChanged, ui_->FileProgressGroup,
          &FileProgressGroup::showProgress);
  connect(ui_->FileProgressGroup, &FileProgressGroup::jumpRequested, fileMode_,
          &FileModeController::jumpTo);
  connect(ui_->FileProgressGroup, &FileProgressGroup::paceChanged, this,
          &TfrmMain::FileProgressGroupPaceChange);
  connect(ui_->MotionGroup, &MotionGroup::jumpRequested, this, &TfrmMain::MotionGroupJump);
  // A control reached by its key (or by Tab) on the scrolled page comes into
  // view before the user changes it.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now != nullptr && ui_->AdvancedContents->isAncestorOf(now))
      ui_->AdvancedScroll->ensureWidgetVisible(now);
  });
}

void TfrmMain::applyRestoredValues() {
  runGuarded(this, [this] {
    ui_->OutputGroup->applyValues();
    ui_->MotionGroup->applyValues();
    ui_->FileProgressGroup->applyValues();
    ui_->efIp->showProblem();
    ui_->ControlGroup->applyValues();
  });
}

void TfrmMain::FileProgressGroupPaceChange() {
  runGuarded(ui_->FileProgressGroup, [this] { fileMode_->setPace(replayPaceOf(readSettings())); });
}

void TfrmMain::loadRunFiles(std::function<void(RunFiles)> use,
                            const control::ControlTarget::Done& done) {
  const motion::MotionSettings settings = motionSettingsOf(readSettings());
  // Speed and heading begin at the start position, just applied.
  const motion::GeoPoint start = mapPositionOf(generator_);
  const std::string scenario = ui_->ControlGroup->scenarioFile();
  // Held in a box: a step is copied, a motion is not.
  const auto read = [settings, start, scenario] {
    auto files = std::make_shared<RunFiles>();
    try {
      files->motion = motion::makeMotion(settings, start);
      if (!scenario.empty()) files->scenario = control::readScenario(scenario);
    } catch (const Error& e) {
      files->motion.reset();
      files->problem = e.what();
    }
    return files;
  };
  const long long number = ++starts_;
  // The core would look for a file of no name.
  if (settings.model == motion::MotionModel::route && settings.routeFile.empty()) {
    RunFiles files;
    files.problem = "Choose a route file.";
    use(std::move(files));
    return;
  }
  if (settings.model != motion::MotionModel::route && scenario.empty()) {
    use(std::move(*read()));
    return;
  }
  loads_.post([this, read, number, use, done] {
    const auto files = read();
    return [this, files, number, use, done] {
      if (number != starts_) {
        done(kOvertaken);
        return;
      }
      use(std::move(*files));
    };
  });
}

void TfrmMain::startMotion(std::unique_ptr<motion::Motion> motion) {
  const bool moving = motion != nullptr;
  simulation_.setMotion(std::move(motion));
  simulation_.restart();
  ui_->MotionGroup->setRunning(moving);
  enableFixControls();
  showMotionProgress();
}

void TfrmMain::stopMotion() {
  simulation_.setMotion(nullptr);
  ui_->MotionGroup->setRunning(false);
  enableFixControls();
}

void TfrmMain::enableFixControls() {
  const bool on = !fileMode_->active() && simulation_.motion() == nullptr;
  setEnabledKeepingFocus(*ui_->tabSimulator, {{ui_->trckLatitude, on}, {ui_->trckLongitude, on}});
  ui_->btnBack->setEnabled(on);
  ui_->btnForward->setEnabled(on);
}

void TfrmMain::steerMotion() {
  motion::Motion* motion = simulation_.motion();
  if (motion == nullptr) return;
  // The Settings page's speed and heading steer a motion that takes them; a
  // route sets its own.
  const SimulatorSettings settings = readSettings();
  motion->steer(static_cast<double>(settings.speed) / kKmhPerMetrePerSecond,
                static_cast<double>(settings.heading));
}

void TfrmMain::showMove(const control::MoveRequest& request) {
  ui_->MotionGroup->showMove(request);
  // The Settings page's speed and heading steer a motion by speed and heading.
  if (request.steps || request.route) return;
  if (request.speedKmh) ui_->efSpeed->setValue(*request.speedKmh);
  if (request.heading) ui_->efHeading->setValue(*request.heading);
}

void TfrmMain::showMotionProgress() {
  const motion::Motion* motion = simulation_.motion();
  if (motion == nullptr) return;
  const motion::MotionProgress progress = motion->progress();
  ui_->MotionGroup->showProgress(&progress, decimalPoint());
}

void TfrmMain::MotionGroupJump(double metres) {
  runGuarded(ui_->MotionGroup, [this, metres] {
    if (motion::Motion* motion = simulation_.motion(); motion != nullptr && motion->jumpTo(metres))
      showMotionProgress();
  });
}

}  // namespace waymock::app
