// The window on the desktop: the settings kept between runs, hiding to the
// tray and its animation, the help viewer and the About box.
#include <QEvent>

#include "app/about_dialog.h"
#include "app/file_mode_controller.h"
#include "app/form_storage.h"
#include "app/handler_guard.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/settings_table.h"
#include "app/tray_controller.h"
#include "app/window_prompts.h"
#include "engine/tray_animation.h"
#include "ui_main_window.h"

namespace waymock::app {

void TfrmMain::setUpDesktop() {
  helpFolder_ = findHelpFolder();
  tray_ = new TrayController([this] { return prompts_.trayAvailable(); }, this);
  connect(tray_, &TrayController::leftClicked, this, &TfrmMain::RxTrayIconClick);
  connect(tray_, &TrayController::animationDue, this, &TfrmMain::AnimateTimerTimer);
  // Without its table (a control of another kind) the window works on, unremembered.
  runGuarded(this,
             [this] { formStorage_ = std::make_unique<FormStorage>(*this, storedSettings(*ui_)); });
}

void TfrmMain::showHelp(int context) {
  if (helpViewer_ == nullptr) helpViewer_ = new HelpViewer(this, helpFolder_);
  if (context == 0) {
    helpViewer_->showContents();
  } else {
    helpViewer_->showContext(context);
  }
}

void TfrmMain::btnHelpClick() {
  runGuarded(ui_->btnHelp, [this] { showHelp(0); });
}

void TfrmMain::btnAboutClick() {
  runGuarded(ui_->btnAbout, [this] {
    TfrmAbout about(this);
    connect(&about, &TfrmAbout::helpRequested, this, [this] { showHelp(0); });
    // Modal to this window only, so help opened from the box can be used.
    about.setWindowModality(Qt::WindowModal);
    prompts_.runAboutBox(about);
  });
}

void TfrmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized()) windowMinimised();
}

void TfrmMain::windowMinimised() {
  runGuarded(this, [this] {
    // Where the desktop has no tray, hiding would lose the window: it stays
    // an ordinary minimised window.
    if (!isVisible() || !tray_->show()) return;
    hide();
  });
}

void TfrmMain::RxTrayIconClick() {
  runGuarded(&tray_->icon(), [this] {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    tray_->hide();
  });
}

// The animation follows whichever mode runs.
void TfrmMain::AnimateTimerTimer() {
  runGuarded(tray_, [this] {
    const bool fileMode = fileMode_->active();
    const long long interval = fileMode ? fileMode_->receiver().Delay() : mainTimer_.interval();
    const bool running = fileMode ? fileMode_->receiver().Active() : mainTimer_.isActive();
    tray_->showAnimation(trayAnimation(interval, !generator_.PortName().empty(), running));
  });
}

}  // namespace waymock::app
