// The window's Advanced page: file mode's progress and pace, and the motion
// that moves the fix instead of the steps.
#include <QApplication>

#include "app/address_edit.h"
#include "app/control_group.h"
#include "app/file_mode_controller.h"
#include "app/file_progress_group.h"
#include "app/focus_keeping.h"
#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/motion_group.h"
#include "app/output_group.h"
#include "engine/motion_fix.h"
#include "motion/motion_settings.h"
#include "support/error.h"
#include "support/units.h"
#include "ui_main_window.h"

namespace waymock::app {

void TfrmMain::connectAdvancedPage() {
  ui_->MotionGroup->setPrompts(prompts_);
  ui_->ControlGroup->attach(*this, simulation_, generator_, prompts_);
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

std::optional<std::string> TfrmMain::startMotion() {
  // Speed and heading begin at the start position, just applied.
  const motion::GeoPoint start = mapPositionOf(generator_);
  std::unique_ptr<motion::Motion> motion;
  try {
    const motion::MotionSettings settings = motionSettingsOf(readSettings());
    // The core would look for a file of no name.
    if (settings.model == motion::MotionModel::route && settings.routeFile.empty())
      waymock::raise("Choose a route file.");
    motion = motion::makeMotion(settings, start);
  } catch (const Error& e) {
    stopMotion();
    return e.what();
  }
  const bool moving = motion != nullptr;
  simulation_.setMotion(std::move(motion));
  simulation_.restart();
  ui_->MotionGroup->setRunning(moving);
  enableFixControls();
  showMotionProgress();
  return std::nullopt;
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
