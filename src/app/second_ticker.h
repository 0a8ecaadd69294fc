#pragma once

#include <QObject>
#include <chrono>
#include <memory>

#include "support/datetime.h"

class QSocketNotifier;

namespace waymock {
class RealtimeTimer;
class TickSchedule;
}  // namespace waymock

namespace waymock::app {

// Ticks on the second for the window: a real-time clock timer watched by a
// socket notifier, so the window's thread never waits for it, waking at the
// deadlines of a TickSchedule. Each due tick emits `due` with its epoch; late
// ticks are skipped and counted, the first one of a run noted in the error
// log; a clock step starts the grid again.
class SecondTicker : public QObject {
  Q_OBJECT

 public:
  explicit SecondTicker(QObject* parent = nullptr);
  ~SecondTicker() override;

  // Starts the grid at the next whole second (again, when running); `phase`
  // is how long after each epoch its tick comes.
  void start(std::chrono::nanoseconds interval, std::chrono::nanoseconds phase);
  void stop();
  bool active() const { return schedule_ != nullptr; }
  std::chrono::nanoseconds interval() const { return interval_; }
  std::chrono::nanoseconds phase() const { return phase_; }
  long long skippedTicks() const;

 signals:
  void due(const waymock::TDateTime& epoch);

 private slots:
  void SecondTimerWake();

 private:
  std::unique_ptr<RealtimeTimer> timer_;
  QSocketNotifier* notifier_ = nullptr;
  std::unique_ptr<TickSchedule> schedule_;
  std::chrono::nanoseconds interval_{};
  std::chrono::nanoseconds phase_{};
  bool lateNoted_ = false;
};

}  // namespace waymock::app
