#pragma once

#include <QObject>

class QSocketNotifier;

namespace waymock::app {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, `kill`, Ctrl-C in the starting
// terminal) into the signal `stopRequested` on the event loop, so the window
// closes as it does for its close button: settings saved, the virtual port's
// link removed. The handler itself only writes a byte to a socket pair, the
// one thing safe to do there. One instance per process; the previous
// handlers come back when it ends.
class StopSignalNotifier : public QObject {
  Q_OBJECT
 public:
  explicit StopSignalNotifier(QObject* parent = nullptr);
  ~StopSignalNotifier() override;

 signals:
  void stopRequested(int signalNumber);

 private slots:
  void readSignal();

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace waymock::app
