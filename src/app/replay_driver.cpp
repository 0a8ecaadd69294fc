#include "app/replay_driver.h"

#include <QPointer>
#include <algorithm>
#include <chrono>
#include <climits>

#include "app/handler_guard.h"

namespace waymock::app {

using receiver::ReplayStatus;

ReplayDriver::ReplayDriver(receiver::TTarnFileGPSReceiver& receiver,
                           std::shared_ptr<receiver::ReplayClock> clock, QObject* parent)
    : QObject(parent), receiver_(receiver), clock_(std::move(clock)) {
  setObjectName(QStringLiteral("TarnFileGPSReceiver"));
  timer_.setSingleShot(true);
  // A Delay is meant to the millisecond; a coarse timer may fire early or late.
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] { stepNow(); });
}

ReplayDriver::~ReplayDriver() {
  timer_.stop();
  if (receiver_.replaying() || receiver_.Active()) receiver_.Close();
}

bool ReplayDriver::start() {
  if (!receiver_.start()) return false;
  wake();
  return true;
}

void ReplayDriver::stop() {
  receiver_.Close();
  wake();
}

void ReplayDriver::pause() {
  receiver_.Pause();
}

void ReplayDriver::resume() {
  receiver_.Resume();
  wake();
}

void ReplayDriver::wake() {
  if (receiver_.replaying()) timer_.start(0);
}

void ReplayDriver::stepNow() {
  // A handler run by the step may destroy this driver.
  const QPointer<ReplayDriver> self(this);
  ReplayStatus status;
  const bool ok = runGuarded(this, [&] { status = receiver_.step(); });
  if (self.isNull()) return;
  if (!ok) {
    // The receiver has abandoned the replay; Close clears its Active flag,
    // which it would otherwise keep.
    receiver_.Close();
    status.state = ReplayStatus::State::Finished;
  }
  schedule(status);
}

void ReplayDriver::schedule(const ReplayStatus& status) {
  using State = ReplayStatus::State;
  switch (status.state) {
    case State::Idle:
      timer_.stop();
      return;
    case State::Finished:
      // OnDisconnect may have started the next replay.
      if (receiver_.replaying()) {
        timer_.start(0);
      } else {
        timer_.stop();
        emit ended();
      }
      return;
    case State::Paused:
      timer_.start(kPausedPollMs);
      return;
    case State::Waiting: {
      int ms = 0;
      if (status.due != receiver::ReplayClock::time_point{}) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(status.due - clock_->now());
        ms = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
      }
      timer_.start(ms);
      return;
    }
  }
}

}  // namespace waymock::app
