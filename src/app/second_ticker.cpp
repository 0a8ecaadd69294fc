#include "app/second_ticker.h"

#include <QSocketNotifier>

#include "app/handler_guard.h"
#include "engine/tick_schedule.h"
#include "platform/clock.h"
#include "platform/realtime_timer.h"

namespace waymock::app {

SecondTicker::SecondTicker(QObject* parent) : QObject(parent) {
  setObjectName("SecondTicker");
}

SecondTicker::~SecondTicker() = default;

void SecondTicker::start(std::chrono::nanoseconds interval, std::chrono::nanoseconds phase) {
  stop();
  if (!timer_) {
    timer_ = std::make_unique<RealtimeTimer>();
    notifier_ = new QSocketNotifier(timer_->fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SecondTicker::SecondTimerWake);
  }
  interval_ = interval;
  phase_ = phase;
  lateNoted_ = false;
  schedule_ = std::make_unique<TickSchedule>(interval, phase, readClocks());
  timer_->armAt(schedule_->deadline());
  notifier_->setEnabled(true);
}

void SecondTicker::stop() {
  if (notifier_ != nullptr) notifier_->setEnabled(false);
  if (timer_) timer_->take();
  schedule_.reset();
}

long long SecondTicker::skippedTicks() const {
  return schedule_ ? schedule_->skippedTicks() : 0;
}

void SecondTicker::SecondTimerWake() {
  if (!schedule_) return;
  timer_->take();
  const TickSchedule::Wake wake = schedule_->take(readClocks());
  if (wake.skipped > 0 && !lateNoted_) {
    lateNoted_ = true;
    logHandlerError(this,
                    "A tick came too late to be sent on time and was skipped; late ticks are "
                    "skipped, not sent in a bunch");
  }
  timer_->armAt(schedule_->deadline());
  if (wake.epoch) emit due(dateTimeFromUnix(*wake.epoch));
}

}  // namespace waymock::app
