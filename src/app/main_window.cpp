#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QStyle>
#include <QThread>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>

#include "app/error_text.h"
#include "app/field_wheel.h"
#include "app/file_mode_controller.h"
#include "app/form_storage.h"
#include "app/handler_guard.h"
#include "app/help_viewer.h"
#include "app/output_group.h"
#include "app/output_log.h"
#include "app/second_ticker.h"
#include "app/serial_ports.h"
#include "app/window_prompts.h"
#include "engine/position_text.h"
#include "platform/folders.h"
#include "platform/virtual_serial_port.h"
#include "support/error.h"
#include "support/error_log.h"
#include "ui_main_window.h"

namespace waymock::app {

namespace {

// Keeps the main timer off while a handler writes the fix, and on again after
// it if it was running, whatever the handler does.
class TimerHold {
 public:
  explicit TimerHold(QTimer& timer) : timer_(timer), wasActive_(timer.isActive()) {
    if (wasActive_) timer_.stop();
  }
  ~TimerHold() {
    if (wasActive_) timer_.start();
  }
  TimerHold(const TimerHold&) = delete;
  TimerHold& operator=(const TimerHold&) = delete;

 private:
  QTimer& timer_;
  bool wasActive_;
};

}  // namespace

WindowPrompts& TfrmMain::defaultPrompts() {
  return WindowPrompts::desktop();
}

TfrmMain::TfrmMain(WindowPrompts& prompts, QWidget* parent)
    : QMainWindow(parent),
      prompts_(prompts),
      ui_(std::make_unique<Ui::TfrmMain>()),
      ports_(std::make_shared<SerialPorts>()),
      generator_(systemClock(), ports_),
      simulation_(generator_, nullptr) {
  ui_->setupUi(this);
  // No window flags of our own: with Qt::CustomizeWindowHint and its kin a
  // window on X11 ignores some close requests where no window manager runs.
  // The window's fixed size keeps window managers from offering to maximize it.
  // The Settings page needs a little more than 537 x 388 to show all its
  // groups legibly at the desktop's font; the window keeps to what it needs.
  setFixedSize(minimumSizeHint().expandedTo(QSize(537, 388)));
  statusBar()->setSizeGripEnabled(false);
  popSerial_ = new QMenu(this);
  popSerial_->setObjectName("popSerial");
  popSerial_->addAction(ui_->miSerialRefresh);
  ui_->efIp->setProblemLine(ui_->lblIpProblem);
  guardFieldsFromWheel(*this);
  setUpToolBar();
  ui_->MemoOut->setPrompts(prompts_);
  ui_->PaintBox->setGenerator(&generator_);
  fileMode_ = new FileModeController(
      generator_, udp_, prompts_, {ui_->btnLoad, ui_->btnFile, ui_->efInterval, ui_->cbUDP}, this);
  setUpDesktop();

  mainTimer_.setParent(this);
  mainTimer_.setObjectName("MainTimer");
  mainTimer_.setInterval(1000);
  secondTicker_ = new SecondTicker(this);
  generator_.SetLatitude_Direction(TCardinalPoint::cpNorth);
  generator_.SetLongitude_Direction(TCardinalPoint::cpEast);
  generator_.SetMagnetic_Variation_Direction(TCardinalPoint::cpWest);
  generator_.SetCommands(generator::TNMEACommands::all());
  generator_.SetMessageAlert(false);
  simulation_.onTransmitted = [this](const std::string& burst) { showTransmitted(burst); };
  connectHandlers();
  mainTimer_.start();
  FormCreate();
}

TfrmMain::~TfrmMain() {
  // Clients are answered by this window: the channel closes first.
  ui_->ControlGroup->detach();
  // The further targets leave the transmitters before the replay's goes.
  ui_->OutputGroup->closeTargets();
  // The replay goes before the generator it sends through.
  delete fileMode_;
  mainTimer_.stop();
  generator_.ClosePort();
}

void TfrmMain::setUpToolBar() {
  struct Tool {
    QAction* action;
    const char* theme;
    QStyle::StandardPixmap fallback;
    // Keys no focused control uses for itself (not arrows, Space, digits or
    // letters alone), so they work from any page and field.
    QKeySequence shortcut;
  };
  const Tool tools[] = {
      {ui_->btnBack, "media-seek-backward", QStyle::SP_MediaSeekBackward, QKeySequence(Qt::Key_F8)},
      {ui_->btnStart, "media-playback-start", QStyle::SP_MediaPlay, QKeySequence(Qt::Key_F5)},
      {ui_->btnPause, "media-playback-pause", QStyle::SP_MediaPause, QKeySequence(Qt::Key_F6)},
      {ui_->btnStop, "media-playback-stop", QStyle::SP_MediaStop, QKeySequence(Qt::Key_F7)},
      {ui_->btnForward, "media-seek-forward", QStyle::SP_MediaSeekForward,
       QKeySequence(Qt::Key_F9)},
      {ui_->btnLoad, "document-open", QStyle::SP_DialogOpenButton, QKeySequence::Open},
      {ui_->btnSave, "document-save", QStyle::SP_DialogSaveButton, QKeySequence::Save},
      {ui_->btnHelp, "help-contents", QStyle::SP_DialogHelpButton,
       QKeySequence(Qt::SHIFT | Qt::Key_F1)},
      {ui_->btnAbout, "help-about", QStyle::SP_MessageBoxInformation, QKeySequence()},
  };
  ui_->btnPause->setCheckable(true);
  ui_->ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  QWidget* previous = ui_->trckLongitude;
  for (const auto& tool : tools) {
    QAction& action = *tool.action;
    action.setIcon(QIcon::fromTheme(tool.theme, style()->standardIcon(tool.fallback)));
    // The status bar shows the hint alone; the tool tip names the key too.
    const QString hint = action.statusTip();
    if (!tool.shortcut.isEmpty()) {
      action.setShortcut(tool.shortcut);
      action.setShortcutContext(Qt::WindowShortcut);
      // The tool bar is on the Simulator page; held by the window as well,
      // the key works from every page.
      addAction(&action);
      action.setToolTip(
          QStringLiteral("%1 (%2)").arg(hint, tool.shortcut.toString(QKeySequence::NativeText)));
    }
    // Tests and UI automation look for the buttons by their names; a tool
    // bar's buttons take no focus of their own, but keyboard users Tab to them.
    if (auto* button = ui_->ToolBar->widgetForAction(&action)) {
      button->setObjectName(action.objectName());
      button->setAccessibleName(hint);
      button->setFocusPolicy(Qt::TabFocus);
      setTabOrder(previous, button);
      previous = button;
    }
  }
  setTabOrder(previous, ui_->MemoOut);
}

void TfrmMain::connectHandlers() {
  connect(&mainTimer_, &QTimer::timeout, this, &TfrmMain::MainTimerTimer);
  connect(secondTicker_, &SecondTicker::due, this, &TfrmMain::SecondTickerDue);
  connect(ui_->btnStart, &QAction::triggered, this, &TfrmMain::btnStartClick);
  connect(ui_->btnStop, &QAction::triggered, this, &TfrmMain::btnStopClick);
  connect(ui_->btnPause, &QAction::triggered, this, &TfrmMain::btnPauseClick);
  connect(ui_->btnForward, &QAction::triggered, this, &TfrmMain::btnForwardClick);
  connect(ui_->btnBack, &QAction::triggered, this, &TfrmMain::btnBackClick);
  connect(ui_->btnSave, &QAction::triggered, ui_->MemoOut, &OutputLog::btnSaveClick);
  connect(ui_->btnHelp, &QAction::triggered, this, &TfrmMain::btnHelpClick);
  connect(ui_->btnAbout, &QAction::triggered, this, &TfrmMain::btnAboutClick);
  connect(ui_->btnSat, &QPushButton::clicked, this, &TfrmMain::btnSatClick);
  connect(ui_->trckLatitude, &QSlider::valueChanged, this, &TfrmMain::trckLatitudeChange);
  connect(ui_->trckLongitude, &QSlider::valueChanged, this, &TfrmMain::trckLongitudeChange);
  connect(ui_->PageControl, &QTabWidget::currentChanged, this, &TfrmMain::PageControlChange);
  connect(ui_->miSerialRefresh, &QAction::triggered, this, &TfrmMain::miSerialRefreshClick);
  connect(ui_->cbSerial, &QCheckBox::clicked, this, &TfrmMain::cbSerialClick);
  connect(ui_->cbUDP, &QCheckBox::clicked, this, &TfrmMain::cbUDPClick);
  for (QWidget* list :
       {static_cast<QWidget*>(ui_->cmbCom), static_cast<QWidget*>(ui_->cmbBaudRate)}) {
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& at) { popSerial_->popup(list->mapToGlobal(at)); });
  }
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setObjectName("FormKeyDown");
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, &TfrmMain::FormKeyDown);

  connect(fileMode_, &FileModeController::modeChanged, this, &TfrmMain::showMode);
  connect(fileMode_, &FileModeController::transmitted, this, &TfrmMain::showTransmitted);
  connect(fileMode_, &FileModeController::satellitesChanged, ui_->PaintBox,
          qOverload<>(&QWidget::update));
  connect(fileMode_, &FileModeController::replayStateChanged, this, &TfrmMain::showPauseState);
  connectAdvancedPage();
}

QString TfrmMain::virtualPortPath() {
  return QString::fromStdString(VirtualSerialPort::defaultPath());
}

// --- Start-up, settings, pages ---

void TfrmMain::FormCreate() {
  runGuarded(this, [] {
    std::filesystem::path log = QCoreApplication::applicationFilePath().toStdString();
    setErrorLogPath(log.replace_extension(".log").string());
  });
  runGuarded(this, [this] { ListSerialPorts(); });
  for (auto [label, caption] : {std::pair{ui_->lblLat, ui_->capLat},
                                {ui_->lblLong, ui_->capLong},
                                {ui_->lblAltitude, ui_->capAltitude},
                                {ui_->lblSpeed, ui_->capSpeed2},
                                {ui_->lblHeading, ui_->capHeading2}}) {
    showValue(label, caption, {});
  }
  setSource("Simulator");
  runGuarded(this, [this] { ApplyStartPosition(); });
  runGuarded(this, [this] { ApplySettings(); });
  // A bad satellite file costs one error-log line; the defaults stay for the rest.
  runGuarded(this, [this] { generator_.LoadSatellites(satelliteFilePath()); });
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // Centred unless a stored position is restored below.
  if (const QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    QMainWindow::move(frame.topLeft());
  }
  // The stored position and values, once, before FormShow applies them; when
  // no position was restored the window stays where it was centred.
  if (formStorage_) runGuarded(this, [this] { formStorage_->restore(); });
  applyRestoredValues();
  FormShow();
}

void TfrmMain::FormShow() {
  runGuarded(this, [this] {
    ApplySettings();
    cbSerialClick();
    cbUDPClick();
  });
}

void TfrmMain::PageControlChange(int) {
  runGuarded(ui_->PageControl, [this] { ApplySettings(); });
}

void TfrmMain::FormKeyDown() {
  runGuarded(this, [this] {
    static constexpr int kContexts[] = {kHelpSimulator, kHelpSettings, kHelpSatellites,
                                        kHelpAdvanced};
    const int page = ui_->PageControl->currentIndex();
    showHelp(page >= 0 && page < 4 ? kContexts[page] : kContexts[2]);
  });
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  FormClose();
  QMainWindow::closeEvent(event);
}

void TfrmMain::FormClose() {
  runGuarded(this, [this] { fileMode_->stop(); });
  // A save error is written to the error log by the store, and the close goes on.
  if (formStorage_) formStorage_->save();
  // The link in the user's folder goes with the window; a real port is left
  // to the end of the process.
  runGuarded(this, [this] { dropVirtualPort(); });
}

void TfrmMain::ApplyStartPosition() {
  waymock::ApplyStartPosition(readSettings(), generator_);
}

void TfrmMain::ApplySettings() {
  const SimulatorSettings settings = readSettings();
  const int interval = waymock::ApplySettings(settings, generator_, simulation_.settings, udp_);
  // Setting the same interval would restart a running countdown.
  if (mainTimer_.interval() != interval) mainTimer_.setInterval(interval);
  fileMode_->receiver().setModern(settings.modernReceiver);
  applyTickTiming(settings, interval);
  steerMotion();
}

void TfrmMain::applyTickTiming(const SimulatorSettings& settings, int intervalMs) {
  if (!settings.ticksOnSecond) {
    secondTicker_->stop();
    return;
  }
  const std::chrono::nanoseconds interval = std::chrono::milliseconds(intervalMs);
  const std::chrono::nanoseconds phase = std::chrono::milliseconds(settings.tickPhase);
  // The grid stays where it is while its timing does.
  if (secondTicker_->active() && secondTicker_->interval() == interval &&
      secondTicker_->phase() == phase) {
    return;
  }
  secondTicker_->start(interval, phase);
}

void TfrmMain::openNetworkTargets() {
  ui_->OutputGroup->openTargets(readSettings(), {&simulation_, &fileMode_->relay()},
                                [this](const std::exception& error) {
                                  const std::string text = errorBoxText(error);
                                  if (targetProblems_ != nullptr) {
                                    targetProblems_->push_back(text);
                                  } else {
                                    showError(QString::fromStdString(text));
                                  }
                                });
}

// --- Targets ---

void TfrmMain::ListSerialPorts() {
  ui_->cmbCom->clear();
  ui_->cmbCom->addItems(systemPortNames());
  ui_->cmbCom->addItem(virtualPortPath());
  ui_->cmbCom->setCurrentIndex(-1);
}

void TfrmMain::miSerialRefreshClick() {
  runGuarded(ui_->miSerialRefresh, [this] { ListSerialPorts(); });
}

void TfrmMain::cbSerialClick() {
  runGuarded(ui_->cbSerial, [this] {
    const bool on = ui_->cbSerial->isChecked();
    ui_->cmbCom->setEnabled(on);
    ui_->cmbBaudRate->setEnabled(on);
  });
}

void TfrmMain::cbUDPClick() {
  runGuarded(ui_->cbUDP, [this] {
    const bool on = ui_->cbUDP->isChecked();
    ui_->efIp->setEnabled(on);
    ui_->efUdpPort->setEnabled(on);
  });
}

bool TfrmMain::openPort(const std::string& port, int baudRate, std::string& reason) {
  if (QString::fromStdString(port) == virtualPortPath()) {
    if (!virtualPort_) {
      try {
        virtualPort_ = std::make_unique<VirtualSerialPort>(port);
      } catch (const IoError& e) {
        // Another run's live port, or something of the user's at the path.
        reason = e.what();
        return false;
      }
      ports_->setVirtual(virtualPort_.get());
    }
  } else {
    dropVirtualPort();
  }
  if (generator_.OpenPort(port, baudRate)) return true;
  reason = generator_.lastOpenError();
  return false;
}

void TfrmMain::dropVirtualPort() {
  ports_->setVirtual(nullptr);
  virtualPort_.reset();
}

// --- The engine ---

void TfrmMain::btnStartClick() {
  runGuarded(ui_->btnStart, [this] {
    const std::string port = ui_->cmbCom->currentText().trimmed().toStdString();
    if (port.empty()) {
      showError("Select a serial port.");
      return;
    }
    if (!generator_.PortName().empty()) {
      generator_.ClosePort();
      QCoreApplication::processEvents();
      QThread::msleep(100);
    }
    bool opened = false;
    std::string reason;
    runGuarded(ui_->btnStart, [&] {
      bool ok = false;
      const int rate = ui_->cmbBaudRate->currentText().toInt(&ok, 10);
      if (!ok) reason = "No baud rate is selected.";
      opened = ok && openPort(port, rate, reason);
    });
    if (!opened) {
      // The simulator sends nothing without its port: the Start fails and
      // leaves nothing open. A replay goes on by UDP and TCP.
      if (!fileMode_->active()) stopRun();
      showError(QString::fromStdString("Cannot connect to " + port + "." +
                                       (reason.empty() ? "" : "\n" + reason)));
      if (!fileMode_->active()) return;
    }
    startRun([this](const std::optional<std::string>& problem) {
      if (problem && *problem != kOvertaken) showError(QString::fromStdString(*problem));
      showPauseState();
    });
  });
  showPauseState();
}

void TfrmMain::startRun(const control::ControlTarget::Done& done) {
  openNetworkTargets();
  if (fileMode_->active()) {
    fileMode_->start();
    done(std::nullopt);
    return;
  }
  ApplyStartPosition();
  loadRunFiles([this, done](RunFiles files) { done(finishStart(std::move(files))); }, done);
}

std::optional<std::string> TfrmMain::finishStart(RunFiles files) {
  // The last run may have moved the fix while the files were read.
  ApplyStartPosition();
  if (files.problem) {
    // Nothing starts: the port and the network targets go as they came.
    stopMotion();
    ui_->OutputGroup->closeTargets();
    generator_.ClosePort();
    dropVirtualPort();
    simulationStarted_ = false;
    return files.problem;
  }
  startMotion(std::move(files.motion));
  ui_->ControlGroup->prepareRun(std::chrono::milliseconds(mainTimer_.interval()), files.scenario);
  simulationStarted_ = true;
  if (!mainTimer_.isActive()) mainTimer_.start();
  return std::nullopt;
}

void TfrmMain::btnStopClick() {
  runGuarded(ui_->btnStop, [this] { stopRun(); });
  showPauseState();
}

void TfrmMain::stopRun() {
  ++starts_;
  if (fileMode_->active()) {
    fileMode_->stop();
  } else {
    mainTimer_.stop();
  }
  generator_.ClosePort();
  dropVirtualPort();
  ui_->OutputGroup->closeTargets();
  ApplyStartPosition();
  stopMotion();
  simulationStarted_ = false;
}

void TfrmMain::btnPauseClick() {
  runGuarded(ui_->btnPause, [this] {
    if (fileMode_->active()) {
      fileMode_->pause();
      return;
    }
    // Paused time does not move a motion.
    if (mainTimer_.isActive()) {
      mainTimer_.stop();
      simulation_.pause();
    } else {
      simulation_.resume();
      mainTimer_.start();
    }
  });
  showPauseState();
}

void TfrmMain::showPauseState() {
  const bool held =
      fileMode_->active() ? fileMode_->paused() : simulationStarted_ && !mainTimer_.isActive();
  ui_->btnPause->setChecked(held);
}

void TfrmMain::btnForwardClick() {
  runGuarded(ui_->btnForward, [this] {
    if (!fileMode_->active()) simulation_.forward();
  });
}

void TfrmMain::btnBackClick() {
  runGuarded(ui_->btnBack, [this] {
    if (!fileMode_->active()) simulation_.back();
  });
}

void TfrmMain::MainTimerTimer() {
  // On the second, the main timer only says whether the simulation runs.
  if (fileMode_->active() || secondTicker_->active()) return;
  mainTimer_.stop();
  runGuarded(&mainTimer_, [this] { runTick(std::nullopt); });
  // The next tick comes a full interval after this one ends.
  mainTimer_.start();
}

void TfrmMain::SecondTickerDue(const TDateTime& epoch) {
  if (fileMode_->active() || !mainTimer_.isActive()) return;
  runGuarded(secondTicker_, [this, &epoch] { runTick(epoch); });
}

void TfrmMain::runTick(std::optional<TDateTime> epoch) {
  simulation_.setUdp(ui_->cbUDP->isChecked() ? &udp_ : nullptr);
  const bool turn = ui_->cbMove->isChecked() && !satelliteEditorOpen_;
  simulation_.settings.moveSatellites = turn;
  if (simulation_.tick(epoch) > 0) ui_->PaintBox->update();
}

void TfrmMain::showTransmitted(const std::string& burst) {
  ui_->ControlGroup->transmitted(burst);
  ui_->MemoOut->append(burst);
  const PositionLabels labels = positionLabels(generator_, decimalPoint());
  const auto show = [](QLabel* label, const QLabel* caption, const std::string& value) {
    showValue(label, caption, QString::fromStdString(value));
  };
  show(ui_->lblLat, ui_->capLat, labels.latitude);
  show(ui_->lblLong, ui_->capLong, labels.longitude);
  show(ui_->lblAltitude, ui_->capAltitude, labels.altitude);
  show(ui_->lblSpeed, ui_->capSpeed2, labels.speed);
  show(ui_->lblHeading, ui_->capHeading2, labels.heading);
  // A changed position runs the slider's handler, which writes it back.
  ui_->trckLatitude->setValue(sliderPosition(generator_.LatitudeDegrees()));
  ui_->trckLongitude->setValue(sliderPosition(generator_.LongitudeDegrees()));
  showMotionProgress();
}

void TfrmMain::showValue(QLabel* label, const QLabel* caption, const QString& text) {
  label->setText(text);
  // A screen reader reads a label's accessible name in place of its text:
  // the name carries the caption and the value ("Latitude: 52° 22' …").
  label->setAccessibleName((caption->text() + QLatin1Char(' ') + text.trimmed()).trimmed());
}

char TfrmMain::decimalPoint() const {
  const QString point = QLocale().decimalPoint();
  return point.size() == 1 && point[0].unicode() < 0x80 ? point[0].toLatin1() : '.';
}

void TfrmMain::showError(const QString& text) {
  prompts_.showError(*this, text);
}

void TfrmMain::setSource(const QString& text) {
  showValue(ui_->lblSource, ui_->capSource, text);
  ui_->lblSource->setToolTip(text);
  ui_->lblSource->setStatusTip(text);
}

void TfrmMain::showMode(bool fileMode, const QString& source) {
  if (fileMode) {
    mainTimer_.stop();
    // The next Start in the simulator makes the motion anew.
    stopMotion();
  }
  setSource(source);
  // The controls that move the simulated fix or the satellites.
  ui_->btnSat->setEnabled(!fileMode);
  ui_->cbMove->setEnabled(!fileMode);
  enableFixControls();
}

void TfrmMain::trckLatitudeChange(int position) {
  runGuarded(ui_->trckLatitude, [this, position] {
    // A motion keeps its exact position: the slider only shows it.
    if (simulation_.motion() != nullptr) return;
    TimerHold hold(mainTimer_);
    const DegreesMinutesSeconds dms = SliderToDMS(position);
    generator_.SetLatitude_Degree(dms.degree);
    generator_.SetLatitude_Minute(dms.minute);
    generator_.SetLatitude_Second(dms.second);
  });
}

void TfrmMain::trckLongitudeChange(int position) {
  runGuarded(ui_->trckLongitude, [this, position] {
    // A motion keeps its exact position: the slider only shows it.
    if (simulation_.motion() != nullptr) return;
    TimerHold hold(mainTimer_);
    const DegreesMinutesSeconds dms = SliderToDMS(position);
    generator_.SetLongitude_Degree(dms.degree);
    generator_.SetLongitude_Minute(dms.minute);
    generator_.SetLongitude_Second(dms.second);
  });
}

}  // namespace waymock::app
