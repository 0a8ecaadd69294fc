#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "receiver/file_gps_receiver.h"

namespace waymock::app {

// Runs a file receiver's replay from the Qt event loop: a single-shot timer
// calls the receiver's step() when the next step is due, so the window stays
// responsive through any Delay without a nested event loop or busy waiting.
// The receiver's processEvents hook must stay empty in this use.
//
// An error from a step (a handler of the receiver, or reading the file) ends
// the replay: the guard writes one error-log line named after this object
// ("TarnFileGPSReceiver" unless renamed) and the receiver is closed.
class ReplayDriver : public QObject {
  Q_OBJECT

 public:
  // How often a paused replay looks whether it was resumed or closed behind
  // the driver's back.
  static constexpr int kPausedPollMs = 100;

  // The receiver must outlive the driver. `clock` must be the one the
  // receiver was made with, since due times are on it.
  explicit ReplayDriver(
      receiver::TTarnFileGPSReceiver& receiver,
      std::shared_ptr<receiver::ReplayClock> clock = receiver::systemReplayClock(),
      QObject* parent = nullptr);
  // Mid-replay it closes the receiver without firing its events, so an
  // owner that is going away hears nothing more.
  ~ReplayDriver() override;

  // Starts replaying the receiver's FileName (OnConnect fires now, the first
  // step follows from the event loop). False when the file does not exist or
  // a replay is already active; throws IoError when the file cannot be read.
  bool start();
  // Close: the replay ends at the next pass of the event loop, even in the
  // middle of a long Delay, and OnDisconnect fires then.
  void stop();
  void pause();
  void resume();
  // Look at the receiver at once, after changing it directly (its FileName
  // during a replay, Resume, Close).
  void wake();

  // A replay has started and not yet ended.
  bool replaying() const { return receiver_.replaying(); }
  bool paused() const { return receiver_.Paused(); }

 signals:
  // The replay has ended for any reason: the end of the file, stop(), or an
  // error.
  void ended();

 private:
  void stepNow();
  void schedule(const receiver::ReplayStatus& status);

  receiver::TTarnFileGPSReceiver& receiver_;
  std::shared_ptr<receiver::ReplayClock> clock_;
  QTimer timer_;
};

}  // namespace waymock::app
