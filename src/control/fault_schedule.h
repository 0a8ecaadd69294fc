#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "control/fault.h"
#include "engine/burst_filter.h"

namespace waymock::control {

// A fault beginning or ending, as the front end reports it (standard error,
// the subscribe stream, the window's list) and never in the output log.
struct FaultEvent {
  const Fault* fault = nullptr;
  bool begins = true;
  double runSeconds = 0;  // of the transmission where it begins or ends
};

// The faults of a scenario and those a control client injects, applied to
// each burst as the transmission's filter.
//
// Time is the run's: transmission k (from 0) is at k × interval, so a
// paused run's scenario waits with it and a fault lands on the same burst
// whatever the machine's load. A fault scheduled `at` t is in force in the
// transmissions from t up to, not including, t + seconds (or for `bursts`
// transmissions); it is reported when it begins and when the first
// transmission without it is made.
class FaultSchedule : public BurstFilter {
 public:
  explicit FaultSchedule(std::chrono::nanoseconds interval);

  std::function<void(const FaultEvent&)> onEvent;
  // Moves the fix by a distance (metres) and a bearing (degrees from north),
  // for a jump.
  std::function<void(double metres, double bearing)> jump;

  void add(const ScheduledFault& scheduled);
  // A fault from the next transmission on.
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
  };

  long long tickAt(double seconds) const;
  double secondsAt(long long tick) const;
  void begin(const Fault& fault);

  double interval_;  // seconds
  long long intervalNs_;
  long long tick_ = -1;  // the transmission in progress
  std::vector<Pending> pending_;
  std::vector<Active> active_;
  std::vector<Fault> injected_;
};

}  // namespace waymock::control
