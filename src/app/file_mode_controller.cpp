#include "app/file_mode_controller.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QSpinBox>
#include <algorithm>

#include "app/handler_guard.h"
#include "app/window_prompts.h"
#include "engine/simulator_settings.h"
#include "generator/nmea_generator.h"
#include "platform/folders.h"
#include "platform/udp_sender.h"
#include "support/regular_file.h"

namespace waymock::app {

FileModeController::FileModeController(generator::TTarnNMEAGenerator& generator, UdpSender& udp,
                                       WindowPrompts& prompts, Controls controls, QWidget* window)
    : QObject(window),
      generator_(generator),
      udp_(udp),
      prompts_(prompts),
      controls_(controls),
      window_(window),
      relay_(generator, receiver_) {
  setObjectName("FileModeController");
  using receiver::TNMEACommands;
  receiver_.SetCommands(TNMEACommands::all());
  receiver_.SetNMEALog(false);
  receiver_.OnReceive = [this](receiver::TTarnCustomGPSReceiver&) { TarnFileGPSReceiverReceive(); };
  receiver_.OnConnect = [this](receiver::TTarnFileGPSReceiver&, const std::string&) {
    relay_.startReplay();
  };
  relay_.onTransmitted = [this](const std::string& burst) { emit transmitted(burst); };
  relay_.onFirstSkipped = [this](const std::string& message, const std::string& value) {
    logHandlerError(&driver_,
                    "Skipped a burst the simulator cannot send (" + value + "): " + message);
  };
  connect(&driver_, &ReplayDriver::ended, this, &FileModeController::replayStateChanged);
  connect(&driver_, &ReplayDriver::ended, this, &FileModeController::showProgress);
  connect(controls_.btnLoad, &QAction::triggered, this, &FileModeController::btnLoadClick);
  connect(controls_.btnFile, &QAbstractButton::clicked, this, &FileModeController::btnFileClick);
}

bool FileModeController::active() const {
  return controls_.btnFile->isChecked();
}

void FileModeController::btnLoadClick() {
  runGuarded(controls_.btnLoad, [this] {
    QFileDialog dialog(window_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Each entry shows its pattern; the last one is every file, also those
    // without a dot in their name.
    const QStringList filters{"*.log (*.log)", "*.txt (*.txt)", "*.nmea (*.nmea)", "*.* (*)"};
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.selectNameFilter(filters.first());
    dialog.setDefaultSuffix("log");
    const QString chosen = prompts_.chooseFile(dialog);
    if (chosen.isEmpty()) return;
    fileName_ = QFile::encodeName(chosen).toStdString();
    controls_.btnFile->setChecked(true);
    btnFileClick();
  });
}

void FileModeController::btnFileClick() {
  runGuarded(controls_.btnFile, [this] {
    if (!active()) {
      // Back to the saved satellites, as at start-up: the log's are dropped
      // even where the file names no satellite. A bad file costs one
      // error-log line and the mode still changes.
      runGuarded(controls_.btnFile, [this] {
        generator_.ClearSatellites();
        generator_.LoadSatellites(satelliteFilePath());
      });
      emit satellitesChanged();
      driver_.stop();
      indexed_ = false;
      emit modeChanged(false, "Simulator");
      showProgress();
      return;
    }
    // As the receiver sees it: only a regular file; a FIFO or a terminal
    // would hold the window's thread in a read.
    if (!isRegularFile(fileName_)) {
      prompts_.showError(*window_, "Select a file.");
      controls_.btnFile->setChecked(false);
      return;
    }
    emit modeChanged(true, QFile::decodeName(QByteArray::fromStdString(fileName_)));
    pace_.delay = timerIntervalMilliseconds(controls_.efInterval->value());
    receiver::applyPace(receiver_, pace_);
    // Last, since it may fail: during a replay of another file, that one ends
    // and this one starts.
    receiver_.SetFileName(fileName_);
    driver_.wake();
    indexLog();
  });
  emit replayStateChanged();
}

void FileModeController::start() {
  btnFileClick();
  if (!active()) return;  // no file: said so and left file mode
  // A running replay starts again from the top of the log.
  if (driver_.replaying()) driver_.stop();
  sent_ = 0;
  driver_.start();
  showProgress();
}

void FileModeController::pause() {
  if (!isRegularFile(fileName_)) return;
  if (driver_.paused()) {
    driver_.resume();
  } else {
    driver_.pause();
  }
}

void FileModeController::stop() {
  driver_.stop();
}

void FileModeController::TarnFileGPSReceiverReceive() {
  if (!active()) return;
  relay_.setUdp(controls_.cbUDP->isChecked() ? &udp_ : nullptr);
  // The port's bytes have been shown through transmitted; the satellites
  // just copied go out with the next burst.
  if (relay_.relay() > 0) emit satellitesChanged();
  sent_ = receiver_.passBursts();
  showProgress();
}

FileProgress FileModeController::progress() const {
  FileProgress progress;
  if (!active() || !indexed_) return progress;
  progress.loaded = true;
  progress.total = index_.count();
  progress.sent = std::min(sent_, progress.total);
  // A Delay set on the receiver itself counts as it waits.
  receiver::ReplayPace pace = pace_;
  pace.delay = receiver_.Delay();
  progress.timeLeft = index_.timeLeft(progress.sent, pace);
  progress.replaying = driver_.replaying();
  progress.modernOnly = index_.modernOnlyBursts();
  return progress;
}

void FileModeController::setPace(const receiver::ReplayPace& pace) {
  pace_.paced = pace.paced;
  pace_.rate = pace.rate;
  pace_.loop = pace.loop;
  if (active()) receiver::applyPace(receiver_, pace_);
  showProgress();
}

void FileModeController::jumpTo(std::size_t burst) {
  if (!driver_.replaying() || !indexed_ || burst >= index_.count()) return;
  receiver_.jumpTo(burst, index_.offset(burst));
  sent_ = burst;
  driver_.wake();
  showProgress();
}

void FileModeController::indexLog() {
  indexed_ = false;
  sent_ = 0;
  runGuarded(controls_.btnFile, [this] {
    index_ = receiver::BurstIndex::read(fileName_, receiver_.modern());
    indexed_ = true;
  });
  showProgress();
}

void FileModeController::showProgress() {
  emit progressChanged(progress());
}

}  // namespace waymock::app
