#include "control/fault_schedule.h"

#include <cmath>

#include "control/burst_faults.h"

namespace waymock::control {

namespace {

// Times on the grid of transmissions: a fault at 1 s with an interval of
// 0.2 s is on the fifth, whatever rounding the division does.
constexpr double kSlack = 1e-6;

}  // namespace

FaultSchedule::FaultSchedule(std::chrono::nanoseconds interval)
    : interval_(static_cast<double>(interval.count()) / 1e9), intervalNs_(interval.count()) {}

// From whole nanoseconds, so that tick 6 of 0.1 s is 0.6 s, not 0.6000000000000001.
double FaultSchedule::secondsAt(long long tick) const {
  return static_cast<double>(tick * intervalNs_) / 1e9;
}

long long FaultSchedule::tickAt(double seconds) const {
  return static_cast<long long>(std::ceil(seconds / interval_ - kSlack));
}

void FaultSchedule::add(const ScheduledFault& scheduled) {
  pending_.push_back({scheduled, tickAt(scheduled.at)});
}

void FaultSchedule::inject(const Fault& fault) {
  injected_.push_back(fault);
}

double FaultSchedule::runSeconds() const {
  return secondsAt(tick_ + 1);
}

std::vector<std::string> FaultSchedule::activeNames() const {
  std::vector<std::string> names;
  for (const Active& a : active_) names.emplace_back(faultName(a.fault.type));
  return names;
}

void FaultSchedule::begin(const Fault& fault) {
  Active a;
  a.fault = fault;
  a.untilTick = tick_ + (fault.bursts ? *fault.bursts : std::max(1LL, tickAt(*fault.seconds)));
  active_.push_back(std::move(a));
  if (onEvent) onEvent({&active_.back().fault, true, secondsAt(tick_)});
  if (fault.type == FaultType::jump && jump) jump(fault.metres, fault.bearing);
}

void FaultSchedule::beforeBurst() {
  ++tick_;
  const double now = secondsAt(tick_);
  for (Active& a : active_) {
    if (tick_ >= a.untilTick && onEvent) onEvent({&a.fault, false, now});
  }
  std::erase_if(active_, [this](const Active& a) { return tick_ >= a.untilTick; });
  for (Pending& p : pending_) {
    if (p.nextTick != tick_) continue;
    begin(p.scheduled.fault);
    if (p.scheduled.every) {
      p.nextTick =
          tickAt(p.scheduled.at +
                 std::round((now - p.scheduled.at) / *p.scheduled.every + 1) * *p.scheduled.every);
    }
  }
  std::erase_if(pending_, [this](const Pending& p) { return p.nextTick <= tick_; });
  for (const Fault& f : injected_) begin(f);
  injected_.clear();
}

void FaultSchedule::filter(std::string& burst) {
  for (Active& a : active_) {
    switch (a.fault.type) {
      case FaultType::frozenFix:
        if (a.frozen.empty()) a.frozen = burst;
        burst = a.frozen;
        break;
      case FaultType::dropout:
        burst.clear();
        break;
      case FaultType::jump:
        break;
      default:
        applyTextFault(a.fault, burst);
    }
  }
}

}  // namespace waymock::control
