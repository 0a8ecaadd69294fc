#include "app/tray_controller.h"

namespace waymock::app {

TrayController::TrayController(Availability available, QObject* parent)
    : QObject(parent),
      available_(available ? std::move(available) : &QSystemTrayIcon::isSystemTrayAvailable),
      still_(trayIcon(IconFrame::Still)),
      wave1_(trayIcon(IconFrame::Wave1)),
      wave2_(trayIcon(IconFrame::Wave2)) {
  setObjectName("TrayController");
  icon_.setObjectName("RxTrayIcon");
  icon_.setToolTip("Waymock");
  icon_.setIcon(still_);
  connect(&icon_, &QSystemTrayIcon::activated, this, &TrayController::activated);
  connect(&frameTimer_, &QTimer::timeout, this, &TrayController::nextFrame);
  animateTimer_.setParent(this);
  animateTimer_.setObjectName("AnimateTimer");
  animateTimer_.setInterval(1000);
  connect(&animateTimer_, &QTimer::timeout, this, &TrayController::animationDue);
  animateTimer_.start();
}

bool TrayController::available() const {
  return available_();
}

bool TrayController::show() {
  if (!available()) return false;
  shown_ = true;
  icon_.show();
  update();
  return true;
}

void TrayController::hide() {
  shown_ = false;
  icon_.hide();
  update();
}

void TrayController::setAnimated(bool animated) {
  if (animated == animated_) return;
  animated_ = animated;
  update();
}

void TrayController::setInterval(int milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  update();
}

void TrayController::showAnimation(const TrayAnimation& animation) {
  animation_ = animation;
  setInterval(animation.frameInterval);
  setAnimated(animation.animated);
}

void TrayController::nextFrame() {
  showFrame(frame_ == IconFrame::Wave1 ? IconFrame::Wave2 : IconFrame::Wave1);
}

void TrayController::activated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::Trigger) emit leftClicked();
}

void TrayController::update() {
  const bool running = shown_ && animated_ && interval_ > 0;
  if (!running) {
    frameTimer_.stop();
    showFrame(IconFrame::Still);
    return;
  }
  // setInterval restarts an active timer even for the same value.
  if (frameTimer_.interval() != interval_) frameTimer_.setInterval(interval_);
  if (!frameTimer_.isActive()) {
    frameTimer_.start();
    if (frame_ == IconFrame::Still) showFrame(IconFrame::Wave1);
  }
}

void TrayController::showFrame(IconFrame frame) {
  if (frame == frame_) return;
  frame_ = frame;
  icon_.setIcon(frame == IconFrame::Still ? still_ : frame == IconFrame::Wave1 ? wave1_ : wave2_);
}

}  // namespace waymock::app
