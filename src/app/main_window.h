#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/control_target.h"
#include "control/fault.h"
#include "engine/background_work.h"
#include "engine/simulation.h"
#include "engine/simulator_settings.h"
#include "generator/nmea_generator.h"
#include "platform/udp_sender.h"

class QLabel;
class QMenu;
class QSocketNotifier;

namespace Ui {
class TfrmMain;
}

namespace waymock {
class SerialPorts;
class VirtualSerialPort;
}  // namespace waymock

namespace waymock::app {

class FileModeController;
class FormStorage;
class HelpViewer;
class SecondTicker;
class TrayController;
class WindowPrompts;

// The simulator's main window: the Simulator, Settings, Satellites and
// Advanced pages,
// the owner of the generator, the main timer and the UDP sender. It wires
// the features that have objects of their own: file mode
// (FileModeController), the output log (OutputLog), the tray
// (TrayController), the settings kept between runs (FormStorage, through
// settings_table). Its handlers are private slots, reached through its
// controls; what it asks the user goes through `prompts`.
class TfrmMain : public QMainWindow, private control::ControlTarget {
  Q_OBJECT

 public:
  // `prompts` must outlive the window.
  explicit TfrmMain(WindowPrompts& prompts = defaultPrompts(), QWidget* parent = nullptr);
  ~TfrmMain() override;

  generator::TTarnNMEAGenerator& generator() { return generator_; }
  Simulation& simulation() { return simulation_; }
  FormStorage* formStorage() { return formStorage_.get(); }

  // The built-in virtual serial port, the last entry of the port list.
  static QString virtualPortPath();

  // The controls of the Settings page (and Move) as values, and back.
  SimulatorSettings readSettings() const;
  void writeSettings(const SimulatorSettings& settings);

  // The help viewer (one, not modal) at the contents (0) or at a context
  // (kHelpSimulator, kHelpSettings, kHelpSatellites); IoError for a missing page.
  void showHelp(int context);
  // Where the help pages are; at start-up the installed or source ones.
  void setHelpFolder(const QString& folder) { helpFolder_ = folder; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Minimising runs windowMinimised.
  void changeEvent(QEvent* event) override;

 private slots:
  // Handlers, by the names of the window's controls and events.
  void PageControlChange(int index);
  // F1: help at the page shown.
  void FormKeyDown();
  void MainTimerTimer();
  // With ticks on the second the tick comes from here, carrying its epoch.
  void SecondTickerDue(const waymock::TDateTime& epoch);
  void btnStartClick();
  void btnStopClick();
  void btnPauseClick();
  void btnForwardClick();
  void btnBackClick();
  void btnHelpClick();
  void btnAboutClick();
  void btnSatClick();
  void trckLatitudeChange(int position);
  void trckLongitudeChange(int position);
  void miSerialRefreshClick();
  void cbSerialClick();
  void cbUDPClick();
  // The tray asks, once a second, what its icon should show.
  void AnimateTimerTimer();
  // Minimise hides the window to the tray, where there is one.
  void windowMinimised();
  void RxTrayIconClick();
  // The display steps of a transmission the port took: the output log, the
  // labels and the sliders (whose handlers write the position back).
  void showTransmitted(const std::string& burst);
  // File mode turned on or off.
  void showMode(bool fileMode, const QString& source);
  // The Advanced page's file mode pace changed.
  void FileProgressGroupPaceChange();
  // The Motion group's slider: the motion goes on from there.
  void MotionGroupJump(double metres);
  // Pause is down exactly while a started simulation or a replay is held.
  void showPauseState();

 private:
  static WindowPrompts& defaultPrompts();
  void FormCreate();
  void FormShow();
  void FormClose();
  // The values were restored with their controls' signals blocked: what they
  // imply (enabled fields, problem lines, the control channel), once.
  void applyRestoredValues();
  void ApplyStartPosition();
  void ApplySettings();
  // What a Start reads from files: the motion the settings choose (its
  // route read) and the scenario's faults, or why they cannot be used (the
  // core's message).
  struct RunFiles {
    std::unique_ptr<motion::Motion> motion;
    std::vector<control::ScheduledFault> scenario;
    std::optional<std::string> problem;
  };
  // Reads them, off the tick's thread when there is a file to read, and
  // hands them to `use`; `done` hears instead when a later Start or a Stop
  // came first.
  void loadRunFiles(std::function<void(RunFiles)> use, const control::ControlTarget::Done& done);
  static constexpr const char* kOvertaken =
      "A later Start or a Stop came before this Start's files were read; it is not used.";
  void startMotion(std::unique_ptr<motion::Motion> motion);
  void stopMotion();
  // Start after the port opened: file mode's replay, or the simulation with
  // its motion and scenario, which begins once they are read (the last run
  // goes on meanwhile). `done` gets what kept it from starting as a sentence,
  // the port closed again, or nothing once it runs.
  void startRun(const control::ControlTarget::Done& done);
  std::optional<std::string> finishStart(RunFiles files);
  void stopRun();
  // The control channel's target (control_target.h), acting as the user
  // would but answering with an error instead of a box.
  void change(const control::FixChange& change) override;
  void move(const control::MoveRequest& request, std::unique_ptr<motion::Motion> route) override;
  void start(Done done) override;
  void stop() override;
  void pause() override;
  void resume() override;
  nlohmann::json status() const override;
  // Speed and heading from the Settings page into a motion that takes them.
  void steerMotion();
  // A motion the control channel started, shown in the fields that choose
  // one, so that a page switch or the next Start keeps to it.
  void showMove(const control::MoveRequest& request);
  // Back, Forward and the position sliders move the fix only in the
  // simulator without a motion.
  void enableFixControls();
  void showMotionProgress();
  // Ticks on the second as the settings say; off, the main timer's ticks.
  void applyTickTiming(const SimulatorSettings& settings, int intervalMs);
  void runTick(std::optional<TDateTime> epoch);
  void openNetworkTargets();
  void ListSerialPorts();
  void setUpToolBar();
  void connectHandlers();
  void connectAdvancedPage();
  void setUpDesktop();
  // Opens `port` in the generator, creating the virtual port first when it is
  // that one; on failure `reason` says why as a sentence, when known.
  bool openPort(const std::string& port, int baudRate, std::string& reason);
  void dropVirtualPort();
  char decimalPoint() const;
  // Shows a value label's text, and names it for screen readers.
  static void showValue(QLabel* label, const QLabel* caption, const QString& text);
  void setSource(const QString& text);
  void showError(const QString& text);

  WindowPrompts& prompts_;
  std::unique_ptr<Ui::TfrmMain> ui_;
  std::shared_ptr<SerialPorts> ports_;
  generator::TTarnNMEAGenerator generator_;
  UdpSender udp_;
  Simulation simulation_;
  QTimer mainTimer_;
  SecondTicker* secondTicker_ = nullptr;
  std::unique_ptr<VirtualSerialPort> virtualPort_;
  QMenu* popSerial_ = nullptr;
  bool shown_ = false;
  // Start ran since the last Stop: only then does a stopped timer mean Pause.
  bool simulationStarted_ = false;
  // Route and scenario files read for a Start, and the Starts and Stops so
  // far: the files of a Start that another Start or a Stop followed are not
  // used.
  BackgroundWork loads_;
  std::unique_ptr<QSocketNotifier> loadsReady_;
  long long starts_ = 0;
  // While the control channel starts a run, the network targets that cannot
  // be opened are gathered here for its answer instead of shown in a box.
  std::vector<std::string>* targetProblems_ = nullptr;
  // While the satellite editor is open the satellites do not turn.
  bool satelliteEditorOpen_ = false;
  FileModeController* fileMode_ = nullptr;
  TrayController* tray_ = nullptr;
  HelpViewer* helpViewer_ = nullptr;
  QString helpFolder_;
  // Declared last, so it goes (and saves, if the close did not) first.
  std::unique_ptr<FormStorage> formStorage_;
};

}  // namespace waymock::app
