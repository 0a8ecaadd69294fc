// The window on the desktop: the settings kept between runs, hiding to the
// tray, the help viewer and the About box.
#include <QEvent>
#include <QSystemTrayIcon>

#include "app/about_dialog.h"
#include "app/form_storage.h"
#include "app/handler_guard.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/settings_table.h"
#include "app/tray_controller.h"
#include "ui_main_window.h"

namespace waymock::app {

void TfrmMain::setUpDesktop() {
  helpFolder = findHelpFolder();
  onHelp = [this](int context) { showHelp(context); };
  onAbout = [this] { btnAboutClick(); };
  runAboutBox = [](TfrmAbout& about) { about.exec(); };

  tray_ = new TrayController(
      [this] { return trayAvailable ? trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable(); },
      this);
  connect(tray_, &TrayController::leftClicked, this, &TfrmMain::RxTrayIconClick);
  onTrayAnimation = [this](int frameInterval, bool animated) {
    setTrayAnimation(frameInterval, animated);
  };

  // Without its table (a control renamed) the window works on, unremembered.
  runGuarded(this,
             [this] { formStorage_ = std::make_unique<FormStorage>(*this, storedSettings(*ui_)); });
  onRestoreSettings = [this] { restoreSettings(); };
  onClose = [this] { saveSettings(); };
}

// The stored position and values, once, before FormShow applies them; when no
// position was restored the window stays where showEvent centred it.
void TfrmMain::restoreSettings() {
  if (formStorage_) formStorage_->restore();
}

// An error is written to the error log by the store, and the close goes on.
void TfrmMain::saveSettings() {
  if (formStorage_) formStorage_->save();
}

void TfrmMain::showHelp(int context) {
  if (helpViewer_ == nullptr) helpViewer_ = new HelpViewer(this, helpFolder);
  if (context == 0) {
    helpViewer_->showContents();
  } else {
    helpViewer_->showContext(context);
  }
}

void TfrmMain::btnAboutClick() {
  runGuarded(ui_->btnAbout, [this] {
    TfrmAbout about(this);
    about.showHelpContents = [this] { showHelp(0); };
    // Modal to this window only, so help opened from the box can be used.
    about.setWindowModality(Qt::WindowModal);
    if (runAboutBox) runAboutBox(about);
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

void TfrmMain::setTrayAnimation(int frameInterval, bool animated) {
  tray_->setInterval(frameInterval);
  tray_->setAnimated(animated);
}

}  // namespace waymock::app
