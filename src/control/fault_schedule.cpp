#include "control/fault_schedule.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

#include "control/burst_faults.h"
#include "support/error.h"

namespace waymock::control {

namespace {

// Times on the grid of transmissions: a fault at 1 s with an interval of
// 0.2 s is on the fifth, whatever rounding the division does.
constexpr double kSlack = 1e-6;
// A transmission no run reaches (centuries at the shortest interval): a time
// or length beyond it means never, or for ever, without overflow.
constexpr long long kNever = 1LL << 60;
constexpr std::size_t kTypes = 11;

std::size_t indexOf(FaultType type) {
  return static_cast<std::size_t>(type);
}

}  // namespace

std::string_view phaseName(FaultEvent::Phase phase) {
  switch (phase) {
    case FaultEvent::Phase::begins:
      return "begins";
    case FaultEvent::Phase::ends:
      return "ends";
    case FaultEvent::Phase::skipped:
      break;
  }
  return "skipped";
}

std::string faultEventText(const FaultEvent& e) {
  // Seconds with "." whatever the locale, as short as they go.
  char seconds[32];
  const auto end = std::to_chars(seconds, seconds + sizeof seconds, e.runSeconds).ptr;
  const std::string at = " at " + std::string(seconds, end) + " s of the run";
  const std::string name(faultName(e.type));
  if (e.phase == FaultEvent::Phase::skipped) {
    return std::to_string(e.count) + " " + name + (e.count == 1 ? " fault is" : " faults are") +
           " skipped" + at + ": at most " + std::to_string(FaultSchedule::kMostAtOnce) +
           " act at once";
  }
  const bool begins = e.phase == FaultEvent::Phase::begins;
  if (e.count == 1) return name + (begins ? " begins" : " ends") + at;
  return std::to_string(e.count) + " " + name + " faults" + (begins ? " begin" : " end") + at;
}

FaultSchedule::FaultSchedule(std::chrono::nanoseconds interval)
    : interval_(static_cast<double>(interval.count()) / 1e9), intervalNs_(interval.count()) {}

// From whole nanoseconds, so that tick 6 of 0.1 s is 0.6 s, not 0.6000000000000001.
double FaultSchedule::secondsAt(long long tick) const {
  return static_cast<double>(tick * intervalNs_) / 1e9;
}

long long FaultSchedule::tickAt(double seconds) const {
  const double ticks = std::ceil(seconds / interval_ - kSlack);
  return ticks >= static_cast<double>(kNever) ? kNever : static_cast<long long>(ticks);
}

void FaultSchedule::add(const ScheduledFault& scheduled) {
  pending_.push_back({scheduled, tickAt(scheduled.at)});
  std::push_heap(pending_.begin(), pending_.end(), std::greater<>());
}

void FaultSchedule::inject(const Fault& fault) {
  if (active_.size() + injected_.size() >= kMostAtOnce) {
    raise(std::to_string(kMostAtOnce) + " faults act or wait already; wait until one ends.");
  }
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

void FaultSchedule::begin(const Fault& fault, Counts& begun, Counts& skipped) {
  if (active_.size() >= kMostAtOnce) {
    ++skipped[indexOf(fault.type)];
    return;
  }
  const long long length =
      fault.bursts ? std::min(*fault.bursts, kNever) : std::max(1LL, tickAt(*fault.seconds));
  active_.push_back({fault, tick_ + length, {}});
  ++begun[indexOf(fault.type)];
}

void FaultSchedule::report(const Counts& counts, FaultEvent::Phase phase) const {
  if (!onEvent) return;
  for (std::size_t t = 0; t < kTypes; ++t) {
    if (counts[t] > 0) onEvent({static_cast<FaultType>(t), phase, counts[t], secondsAt(tick_)});
  }
}

void FaultSchedule::beforeBurst() {
  ++tick_;
  Counts ended(kTypes), begun(kTypes), skipped(kTypes);
  for (const Active& a : active_) {
    if (tick_ >= a.untilTick) ++ended[indexOf(a.fault.type)];
  }
  std::erase_if(active_, [this](const Active& a) { return tick_ >= a.untilTick; });
  // Requests first: they were answered with a place among those at once.
  for (const Fault& f : injected_) begin(f, begun, skipped);
  injected_.clear();
  const double now = secondsAt(tick_);
  while (!pending_.empty() && pending_.front().nextTick <= tick_) {
    std::pop_heap(pending_.begin(), pending_.end(), std::greater<>());
    Pending& p = pending_.back();
    begin(p.scheduled.fault, begun, skipped);
    if (!p.scheduled.every) {
      pending_.pop_back();
      continue;
    }
    // An event more often than transmissions come is on every one.
    const double every = *p.scheduled.every;
    p.nextTick = std::max(
        tick_ + 1, tickAt(p.scheduled.at + std::round((now - p.scheduled.at) / every + 1) * every));
    std::push_heap(pending_.begin(), pending_.end(), std::greater<>());
  }
  report(ended, FaultEvent::Phase::ends);
  report(begun, FaultEvent::Phase::begins);
  report(skipped, FaultEvent::Phase::skipped);
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
      default:
        applyTextFault(a.fault, burst);
    }
  }
}

}  // namespace waymock::control
