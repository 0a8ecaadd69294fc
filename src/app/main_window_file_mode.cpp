// File mode: a recorded NMEA log replayed through the window's own receiver,
// each decoded fix sent and shown like a simulator tick; and the tray
// animation, which follows whichever mode runs.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>

#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/sky_plot_widget.h"
#include "platform/folders.h"
#include "support/regular_file.h"
#include "ui_main_window.h"

namespace waymock::app {

void TfrmMain::setUpFileMode() {
  using receiver::TNMEACommands;
  fileReceiver_.SetCommands(TNMEACommands::all());
  fileReceiver_.SetNMEALog(false);
  fileReceiver_.OnReceive = [this](receiver::TTarnCustomGPSReceiver&) {
    TarnFileGPSReceiverReceive();
  };
  fileReceiver_.OnConnect = [this](receiver::TTarnFileGPSReceiver&, const std::string&) {
    fileRelay_.startReplay();
  };
  fileRelay_.onTransmitted = [this](const std::string& burst) { showTransmitted(burst); };
  fileRelay_.onFirstSkipped = [this](const std::string& message, const std::string& value) {
    logHandlerError(&replayDriver_,
                    "Skipped a burst the simulator cannot send (" + value + "): " + message);
  };

  connect(&replayDriver_, &ReplayDriver::ended, this, &TfrmMain::showPauseState);
  runOpenDialog = [](QFileDialog& dialog) {
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
  };
  connect(ui_->btnLoad, &QAction::triggered, this, [this] { btnLoadClick(); });
  // Only the user's toggle: setting the button from code runs nothing.
  connect(ui_->btnFile, &QPushButton::clicked, this, [this] { btnFileClick(); });

  animateTimer_.setObjectName("AnimateTimer");
  animateTimer_.setInterval(1000);
  connect(&animateTimer_, &QTimer::timeout, this, [this] { AnimateTimerTimer(); });
  animateTimer_.start();
}

void TfrmMain::btnLoadClick() {
  runGuarded(ui_->btnLoad, [this] {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Each entry shows its pattern; the last one is every file, also those
    // without a dot in their name.
    const QStringList filters{"*.log (*.log)", "*.txt (*.txt)", "*.nmea (*.nmea)", "*.* (*)"};
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.selectNameFilter(filters.first());
    dialog.setDefaultSuffix("log");
    const QString chosen = runOpenDialog(dialog);
    if (chosen.isEmpty()) return;
    replayFileName_ = QFile::encodeName(chosen).toStdString();
    ui_->btnFile->setChecked(true);
    btnFileClick();
  });
}

void TfrmMain::btnFileClick() {
  runGuarded(ui_->btnFile, [this] {
    if (!ui_->btnFile->isChecked()) {
      // Back to the saved satellites, as at start-up: the log's are dropped
      // even where the file names no satellite. A bad file costs one
      // error-log line and the mode still changes.
      runGuarded(ui_->btnFile, [this] {
        generator_.ClearSatellites();
        generator_.LoadSatellites(satelliteFilePath());
      });
      ui_->PaintBox->update();
      replayDriver_.stop();
      setSource("Simulator");
      enableSimulatorControls(true);
      return;
    }
    // As the receiver sees it: only a regular file; a FIFO or a terminal
    // would hold the window's thread in a read.
    if (!isRegularFile(replayFileName_)) {
      showError("Select a file.");
      ui_->btnFile->setChecked(false);
      return;
    }
    mainTimer_.stop();
    setSource(QFile::decodeName(QByteArray::fromStdString(replayFileName_)));
    fileReceiver_.SetDelay(timerIntervalMilliseconds(ui_->efInterval->value()));
    enableSimulatorControls(false);
    // Last, since it may fail: during a replay of another file, that one ends
    // and this one starts.
    fileReceiver_.SetFileName(replayFileName_);
    replayDriver_.wake();
  });
  showPauseState();
}

void TfrmMain::startFileReplay() {
  btnFileClick();
  if (!ui_->btnFile->isChecked()) return;  // no file: said so and left file mode
  // A running replay starts again from the top of the log.
  if (replayDriver_.replaying()) replayDriver_.stop();
  replayDriver_.start();
}

void TfrmMain::pauseFileReplay() {
  if (!isRegularFile(replayFileName_)) return;
  if (replayDriver_.paused()) {
    replayDriver_.resume();
  } else {
    replayDriver_.pause();
  }
}

// Runs inside the replay driver's guard: an error ends the replay and costs
// one error-log line.
void TfrmMain::TarnFileGPSReceiverReceive() {
  if (!ui_->btnFile->isChecked()) return;
  fileRelay_.setUdp(ui_->cbUDP->isChecked() ? &udp_ : nullptr);
  // The port's bytes have been shown by showTransmitted; the satellites just
  // copied go out with the next burst.
  if (fileRelay_.relay() > 0) ui_->PaintBox->update();
}

void TfrmMain::AnimateTimerTimer() {
  runGuarded(&animateTimer_, [this] {
    const bool fileMode = ui_->btnFile->isChecked();
    const long long interval = fileMode ? fileReceiver_.Delay() : mainTimer_.interval();
    const bool running = fileMode ? fileReceiver_.Active() : mainTimer_.isActive();
    trayAnimation_ = trayAnimation(interval, !generator_.PortName().empty(), running);
    if (onTrayAnimation) onTrayAnimation(trayAnimation_.frameInterval, trayAnimation_.animated);
  });
}

void TfrmMain::setSource(const QString& text) {
  showValue(ui_->lblSource, ui_->capSource, text);
  ui_->lblSource->setToolTip(text);
  ui_->lblSource->setStatusTip(text);
}

void TfrmMain::enableSimulatorControls(bool enabled) {
  ui_->btnBack->setEnabled(enabled);
  ui_->btnForward->setEnabled(enabled);
  ui_->trckLatitude->setEnabled(enabled);
  ui_->trckLongitude->setEnabled(enabled);
  ui_->btnSat->setEnabled(enabled);
  ui_->cbMove->setEnabled(enabled);
}

}  // namespace waymock::app
