#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/replay_driver.h"
#include "engine/file_relay.h"
#include "engine/simulation.h"
#include "engine/simulator_settings.h"
#include "engine/tray_animation.h"
#include "generator/nmea_generator.h"
#include "platform/udp_sender.h"
#include "receiver/file_gps_receiver.h"
#include "support/output_spool.h"

class QDialog;
class QLabel;
class QFileDialog;
class QMenu;

namespace Ui {
class TfrmMain;
}

namespace waymock {
class VirtualSerialPort;
}

namespace waymock::app {

class FormStorage;
class HelpViewer;
class SerialPorts;
class TfrmAbout;
class TrayController;

// The simulator's main window: the Simulator, Settings and Satellites pages,
// the owner of the generator, the main timer and the UDP sender.
class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // --- Hooks, so tests answer them and later features plug in ---
  // The error box with one OK button; by default a modal message box.
  std::function<void(const QString& text)> showError;
  // Help: 0 for the contents, else a context number (20, 30, 40 by page).
  std::function<void(int context)> onHelp;
  // Runs when the window is first shown, before FormShow applies the settings:
  // where stored settings are restored.
  std::function<void()> onRestoreSettings;
  // Runs when the window closes, before the virtual port goes: where a replay
  // stops and settings are saved.
  std::function<void()> onClose;
  // Tool buttons whose features come later.
  std::function<void()> onSave;
  std::function<void()> onAbout;
  // While the satellite editor is open the satellites do not turn.
  bool satelliteEditorOpen = false;

  Ui::TfrmMain& ui() { return *ui_; }
  generator::TTarnNMEAGenerator& generator() { return generator_; }
  Simulation& simulation() { return simulation_; }
  QTimer& mainTimer() { return mainTimer_; }
  UdpSender& udpSocket() { return udp_; }

  // The built-in virtual serial port, the last entry of the port list.
  static QString virtualPortPath();

  // The controls of the Settings page (and Move) as values, and back; the one
  // place that knows which control holds which setting.
  SimulatorSettings readSettings() const;
  void writeSettings(const SimulatorSettings& settings);

  void ApplyStartPosition();
  void ApplySettings();
  void ListSerialPorts();

  // Handlers.
  void FormCreate();
  void FormShow();
  void PageControlChange(int index);
  void FormKeyDown();
  void FormClose();
  void MainTimerTimer();
  void btnStartClick();
  void btnStopClick();
  void btnPauseClick();
  void btnForwardClick();
  void btnBackClick();
  void trckLatitudeChange(int position);
  void trckLongitudeChange(int position);
  void miSerialRefreshClick();
  void cbSerialClick();
  void cbUDPClick();

  // The display steps of a transmission the port took: the output log, the
  // labels and the sliders (whose handlers write the position back).
  void showTransmitted(const std::string& burst);

  // --- Satellites page, satellite editor and file mode ---
  // (main_window_satellites.cpp, main_window_file_mode.cpp)

  // Shows a dialog modally, by default with exec(); tests answer it here so
  // no nested modal loop runs.
  std::function<void(QDialog& dialog)> runModal;
  // Shows btnLoad's open dialog and returns the chosen file, empty when the
  // user cancels; by default exec(). Tests answer it here.
  std::function<QString(QFileDialog& dialog)> runOpenDialog;
  // Every second, what the tray icon should show: the frame interval in
  // milliseconds and whether the two frames take turns.
  std::function<void(int frameInterval, bool animated)> onTrayAnimation;

  receiver::TTarnFileGPSReceiver& fileReceiver() { return fileReceiver_; }
  ReplayDriver& replayDriver() { return replayDriver_; }
  QTimer& animateTimer() { return animateTimer_; }
  // The log chosen with btnLoad; empty until then.
  const std::string& replayFileName() const { return replayFileName_; }
  // What the last AnimateTimerTimer decided.
  TrayAnimation trayAnimationShown() const { return trayAnimation_; }

  void btnSatClick();
  void btnLoadClick();
  void btnFileClick();
  void TarnFileGPSReceiverReceive();
  void AnimateTimerTimer();

  // --- Output log, tray, help, About box, settings store ---
  // (main_window_output_log.cpp, main_window_desktop.cpp)
  // The save dialog for the output log: the chosen file, empty when cancelled.
  std::function<QString()> askOutputLogFile;
  // Runs the About box modally; tests look at it instead.
  std::function<void(TfrmAbout& about)> runAboutBox;
  // Whether the desktop has a system tray; empty: Qt's own check.
  std::function<bool()> trayAvailable;
  // Where the help pages are; set at start-up to the installed or source ones.
  QString helpFolder;

  // The help viewer (one, not modal) at the contents (0) or at a context
  // (kHelpSimulator, kHelpSettings, kHelpSatellites); IoError for a missing page.
  void showHelp(int context);
  // The tray icon's animation, as AnimateTimerTimer decides it once a second.
  void setTrayAnimation(int frameInterval, bool animated);
  // Writes the whole output log to `fileName`, every line ended by CR LF,
  // replacing the file as a whole; IoError when it cannot.
  void saveOutputLog(const QString& fileName);
  // MemoOut shows the latest lines of the output log, about 300 bursts of 32
  // satellites; the whole log is kept on disk for saving.
  static constexpr int kOutputLogShownLines = 4500;

  void popMemOutPopup();
  void miClearClick();
  void btnSaveClick();
  void btnAboutClick();
  // Minimise hides the window to the tray, where there is one.
  void windowMinimised();
  void RxTrayIconClick();

  TrayController& tray() { return *tray_; }
  FormStorage* formStorage() { return formStorage_.get(); }
  HelpViewer* helpViewer() { return helpViewer_; }
  QMenu& popMemOut() { return *popMemOut_; }

  // Minimising runs windowMinimised.
  void changeEvent(QEvent* event) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void setUpToolBar();
  void connectHandlers();
  void appendOutput(const std::string& burst);
  // Opens `port` in the generator, creating the virtual port first when it is
  // that one; on failure `reason` says why as a sentence, when known.
  bool openPort(const std::string& port, int baudRate, std::string& reason);
  void dropVirtualPort();
  char decimalPoint() const;
  // Shows a value label's text, and names it for screen readers.
  static void showValue(QLabel* label, const QLabel* caption, const QString& text);
  // Pause is down exactly while a started simulation or a replay is held.
  void showPauseState();

  std::unique_ptr<Ui::TfrmMain> ui_;
  std::shared_ptr<SerialPorts> ports_;
  generator::TTarnNMEAGenerator generator_;
  UdpSender udp_;
  Simulation simulation_;
  QTimer mainTimer_;
  std::unique_ptr<VirtualSerialPort> virtualPort_;
  QMenu* popSerial_ = nullptr;
  bool shown_ = false;
  // Start ran since the last Stop: only then does a stopped timer mean Pause.
  bool simulationStarted_ = false;

  // --- Satellites page, satellite editor and file mode ---
  void setUpSatellitesPage();
  void setUpFileMode();
  // Start and Pause while btnFile is down.
  void startFileReplay();
  void pauseFileReplay();
  void setSource(const QString& text);
  // The six controls that move the simulated fix or the satellites.
  void enableSimulatorControls(bool enabled);

  receiver::TTarnFileGPSReceiver fileReceiver_;
  FileRelay fileRelay_{generator_, fileReceiver_};
  ReplayDriver replayDriver_{fileReceiver_};
  QTimer animateTimer_;
  std::string replayFileName_;
  TrayAnimation trayAnimation_;

  // --- Output log, tray, help, About box, settings store ---
  void setUpOutputLog();
  void setUpDesktop();
  // Saves the log where the user chooses; a failure is logged as from
  // `sender` and shown.
  void saveOutputLogAs(const QObject* sender);
  void restoreSettings();
  void saveSettings();

  std::unique_ptr<OutputSpool> outputLog_;
  QMenu* popMemOut_ = nullptr;
  QAction* miClear_ = nullptr;
  QAction* miSaveToFile_ = nullptr;
  TrayController* tray_ = nullptr;
  HelpViewer* helpViewer_ = nullptr;
  // Declared last, so it goes (and saves, if the close did not) first.
  std::unique_ptr<FormStorage> formStorage_;
};

}  // namespace waymock::app
