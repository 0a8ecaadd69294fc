#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <cstddef>
#include <string>

#include "app/replay_driver.h"
#include "engine/file_relay.h"
#include "receiver/burst_index.h"
#include "receiver/file_gps_receiver.h"
#include "receiver/replay_pacing.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QSpinBox;
class QWidget;

namespace waymock {
class UdpSender;
namespace generator {
class TTarnNMEAGenerator;
}
}  // namespace waymock

namespace waymock::app {

class WindowPrompts;

// How far a replay is through its log.
struct FileProgress {
  bool loaded = false;  // file mode is on with a log read
  std::size_t sent = 0;
  std::size_t total = 0;
  std::chrono::nanoseconds timeLeft{0};
  bool replaying = false;
  std::size_t modernOnly = 0;  // bursts the receiver would begin in modern mode
};

// File mode: a recorded NMEA log replayed through the window's own receiver,
// each decoded fix sent to the generator's port (and by UDP when cbUDP is on)
// and shown like a simulator tick. btnLoad chooses the log, btnFile turns the
// mode on and off, and the window's Start, Pause and Stop reach the replay
// through start(), pause() and stop() while the mode is on.
class FileModeController : public QObject {
  Q_OBJECT

 public:
  // The window's controls the mode reads and sets.
  struct Controls {
    QAction* btnLoad;
    QAbstractButton* btnFile;
    QSpinBox* efInterval;
    QCheckBox* cbUDP;
  };
  // The generator and sender must outlive the controller.
  FileModeController(generator::TTarnNMEAGenerator& generator, UdpSender& udp,
                     WindowPrompts& prompts, Controls controls, QWidget* window);

  // btnFile is down.
  bool active() const;
  // Starts the replay of the loaded log, again from its top when one runs; a
  // file that is gone leaves the mode with a box saying so.
  void start();
  // Pause and resume, as Pause does while the mode is on.
  void pause();
  void stop();
  bool paused() const { return driver_.paused(); }
  // Bursts sent of the log's, and the time the replay still takes at its pace.
  FileProgress progress() const;
  // The log's own timing, its rate and the loop (the interval stays the
  // Settings page's); a replay under way goes on at the new pace.
  void setPace(const receiver::ReplayPace& pace);
  // Goes on from `burst` of the log (the one after it comes after its wait);
  // nothing when no replay runs.
  void jumpTo(std::size_t burst);

  receiver::TTarnFileGPSReceiver& receiver() { return receiver_; }
  ReplayDriver& driver() { return driver_; }
  // What carries the replayed bursts, for further network targets.
  Transmitter& relay() { return relay_; }

 signals:
  // The mode changed: on with the log's name as the source, or off with
  // "Simulator".
  void modeChanged(bool fileMode, const QString& source);
  // A burst the port took, for the output log and the labels.
  void transmitted(const std::string& burst);
  // The satellites changed: the sky plot repaints.
  void satellitesChanged();
  // Paused, resumed or ended.
  void replayStateChanged();
  // A burst was delivered, the replay jumped or ended, the pace or the log changed.
  void progressChanged(const FileProgress& progress);

 private slots:
  void btnLoadClick();
  // Only the user's toggle runs it: setting the button from code does not.
  void btnFileClick();
  // Runs inside the replay driver's guard: an error ends the replay and costs
  // one error-log line.
  void TarnFileGPSReceiverReceive();

 private:
  generator::TTarnNMEAGenerator& generator_;
  UdpSender& udp_;
  WindowPrompts& prompts_;
  Controls controls_;
  QWidget* window_;
  receiver::TTarnFileGPSReceiver receiver_;
  FileRelay relay_;
  ReplayDriver driver_{receiver_};
  // Reads the log's bursts for the progress; a log that cannot be read
  // costs one error-log line and shows no progress.
  void indexLog();
  void showProgress();

  // The log chosen with btnLoad; empty until then.
  std::string fileName_;
  receiver::ReplayPace pace_;
  receiver::BurstIndex index_;
  bool indexed_ = false;
  std::size_t sent_ = 0;
};

}  // namespace waymock::app
