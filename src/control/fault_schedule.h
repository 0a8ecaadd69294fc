#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "control/fault.h"
#include "engine/burst_filter.h"

namespace waymock::control {

// Faults of one type beginning, ending, or left out because too many act at
// once, on one transmission, as the front end reports them (standard error,
// the subscribe stream, the window's list) and never in the output log.
struct FaultEvent {
  enum class Phase { begins, ends, skipped };
  FaultType type = FaultType::noFix;
  Phase phase = Phase::begins;
  std::size_t count = 1;
  double runSeconds = 0;  // of the transmission
};
// "begins", "ends", "skipped".
std::string_view phaseName(FaultEvent::Phase phase);
// "no-fix begins at 0.5 s of the run", "3 dropout faults end at 2 s of the
// run", "2 no-fix faults are skipped at 1 s of the run: at most 64 act at
// once" (without a full stop).
std::string faultEventText(const FaultEvent& event);

// The faults of a scenario and those a control client injects, applied to
// each burst as the transmission's filter.
//
// Time is the run's: transmission k (from 0) is at k × interval, so a
// paused run's scenario waits with it and a fault lands on the same burst
// whatever the machine's load. A fault scheduled `at` t is in force in the
// transmissions from t up to, not including, t + seconds (or for `bursts`
// transmissions); it is reported when it begins and when the first
// transmission without it is made, the faults of one type on one
// transmission together. At most kMostAtOnce act at once: an injected one
// beyond is refused, a scheduled one skipped and reported, so that neither
// the burst's rewriting nor the reports grow without bound.
class FaultSchedule : public BurstFilter {
 public:
  static constexpr std::size_t kMostAtOnce = 64;

  explicit FaultSchedule(std::chrono::nanoseconds interval);

  std::function<void(const FaultEvent&)> onEvent;

  void add(const ScheduledFault& scheduled);
  // A fault from the next transmission on. Throws Error, adding nothing,
  // when kMostAtOnce act or wait already.
  void inject(const Fault& fault);
  // The run time of the next transmission.
  double runSeconds() const;
  // The names of the faults in force, for a status.
  std::vector<std::string> activeNames() const;

  void beforeBurst() override;
  void filter(std::string& burst) override;

 private:
  struct Active {
    Fault fault;
    long long untilTick = 0;  // the first transmission without it
    std::string frozen;       // frozen fix: the burst repeated
  };
  struct Pending {
    ScheduledFault scheduled;
    long long nextTick = 0;
    bool operator>(const Pending& other) const { return nextTick > other.nextTick; }
  };
  using Counts = std::vector<std::size_t>;  // by fault type

  long long tickAt(double seconds) const;
  double secondsAt(long long tick) const;
  void begin(const Fault& fault, Counts& begun, Counts& skipped);
  void report(const Counts& counts, FaultEvent::Phase phase) const;

  double interval_;  // seconds
  long long intervalNs_;
  long long tick_ = -1;           // the transmission in progress
  std::vector<Pending> pending_;  // a heap, the next due first
  std::vector<Active> active_;
  std::vector<Fault> injected_;
};

}  // namespace waymock::control
