#include "app/motion_group.h"

#include <QFile>
#include <QFileDialog>
#include <QSignalBlocker>
#include <algorithm>
#include <climits>
#include <cmath>

#include "app/focus_keeping.h"
#include "app/handler_guard.h"
#include "app/window_prompts.h"
#include "control/control_target.h"
#include "engine/progress_text.h"
#include "ui_motion_group.h"

namespace waymock::app {

namespace {

// The positions of cmbMotion.
enum MotionIndex { kSteps = 0, kSpeedHeading = 1, kRoute = 2 };

// The slider counts whole metres along the route.
int sliderMetres(double metres) {
  return static_cast<int>(std::clamp(std::round(metres), 0.0, static_cast<double>(INT_MAX)));
}

}  // namespace

MotionGroup::MotionGroup(QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::MotionGroup>()) {
  ui_->setupUi(this);
  connect(ui_->cmbMotion, &QComboBox::currentIndexChanged, this, &MotionGroup::cmbMotionChange);
  connect(ui_->cbTrackTime, &QCheckBox::toggled, this, &MotionGroup::cmbMotionChange);
  connect(ui_->btnRouteFile, &QPushButton::clicked, this, &MotionGroup::btnRouteFileClick);
  connect(ui_->trckMotion, &QSlider::valueChanged, this, &MotionGroup::trckMotionChange);
  cmbMotionChange();
}

MotionGroup::~MotionGroup() = default;

void MotionGroup::showMove(const control::MoveRequest& request) {
  if (request.steps) {
    ui_->cmbMotion->setCurrentIndex(kSteps);
    return;
  }
  if (!request.route) {
    ui_->cmbMotion->setCurrentIndex(kSpeedHeading);
    return;
  }
  ui_->cmbMotion->setCurrentIndex(kRoute);
  ui_->efRouteFile->setText(QString::fromStdString(*request.route));
  if (request.speedKmh) ui_->efRouteSpeed->setValue(*request.speedKmh);
  ui_->cbTrackTime->setChecked(request.trackTime);
  if (request.trackTime) ui_->efRouteRate->setValue(request.rate);
  ui_->cmbRouteEnd->setCurrentIndex(request.end == "loop" ? 1 : request.end == "reverse" ? 2 : 0);
}

void MotionGroup::applyValues() {
  cmbMotionChange();
}

void MotionGroup::cmbMotionChange() {
  const int model = ui_->cmbMotion->currentIndex();
  const bool route = model == kRoute;
  const bool trackTime = ui_->cbTrackTime->isChecked();
  const bool choosing = !running_;
  setEnabledKeepingFocus(*this, {{ui_->cmbMotion, choosing},
                                 {ui_->cbGeodesic, choosing && model == kSpeedHeading},
                                 {ui_->efRouteFile, choosing && route},
                                 {ui_->btnRouteFile, choosing && route},
                                 {ui_->cbTrackTime, choosing && route},
                                 {ui_->cmbRouteEnd, choosing && route},
                                 {ui_->cbUseTrackTime, choosing && route},
                                 {ui_->efRouteSpeed, choosing && route && !trackTime},
                                 {ui_->efRouteRate, choosing && route && trackTime},
                                 {ui_->efNoise, choosing && model != kSteps},
                                 {ui_->efNoiseSeed, choosing && model != kSteps}});
}

void MotionGroup::setRunning(bool running) {
  running_ = running;
  cmbMotionChange();
  if (!running) showProgress(nullptr, '.');
}

void MotionGroup::showProgress(const motion::MotionProgress* progress, char decimalPoint) {
  QSlider& slider = *ui_->trckMotion;
  // Only the user's moves jump.
  const QSignalBlocker blocker(slider);
  if (progress == nullptr) {
    ui_->lblMotionProgress->clear();
    slider.setMaximum(0);
    slider.setEnabled(false);
    return;
  }
  ui_->lblMotionProgress->setText(QString::fromStdString(
      distanceProgressText(progress->done, progress->total, progress->secondsLeft, decimalPoint)));
  slider.setMaximum(progress->total ? sliderMetres(*progress->total) : 0);
  // A slider held by the user stays where it is.
  if (!slider.isSliderDown()) slider.setValue(sliderMetres(progress->done));
  slider.setEnabled(running_ && progress->total.has_value());
}

void MotionGroup::btnRouteFileClick() {
  runGuarded(ui_->btnRouteFile, [this] {
    if (prompts_ == nullptr) return;
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters{"Routes and tracks (*.gpx *.kml *.csv *.nmea *.log *.txt)",
                              "*.* (*)"};
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
    const QString chosen = prompts_->chooseFile(dialog);
    if (!chosen.isEmpty()) ui_->efRouteFile->setText(chosen);
  });
}

void MotionGroup::trckMotionChange(int position) {
  runGuarded(ui_->trckMotion, [this, position] { emit jumpRequested(position); });
}

}  // namespace waymock::app
