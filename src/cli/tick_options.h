#pragma once

// When the run's ticks come: --tick interval (each a full interval after the
// end of the one before, the default) or --tick on-second (on a fixed grid of
// the real-time clock, each burst's time fields carrying its tick's epoch).

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "support/datetime.h"

namespace CLI {
class App;
}

namespace waymock {
class RealtimeTimer;
class TickSchedule;
}  // namespace waymock

namespace waymock::cli {

class StopSignals;

struct TickOptions {
  std::string mode = "interval";  // or "on-second"
  std::optional<int> phaseMs;     // --tick-phase
};

// Adds the options under the command's present default group.
void addTickOptions(CLI::App& command, TickOptions& options);

// The pace of the run's loop: it asks due() whether to tick, ticks, tells
// ticked(), and otherwise waits().
class RunPace {
 public:
  static constexpr int kDefaultPhaseMs = 50;

  // Throws Error for --tick-phase without --tick on-second.
  RunPace(const TickOptions& options, std::chrono::nanoseconds interval);
  ~RunPace();
  RunPace(const RunPace&) = delete;
  RunPace& operator=(const RunPace&) = delete;

  // Whether a tick is due: by the interval, at once at the start and then a
  // full interval after the last tick ended; on the second, when the
  // schedule says so. Says on standard error, once, that late ticks are
  // skipped, and each time the clock steps.
  bool due();
  // On the second: the due tick's epoch, for its time fields.
  std::optional<TDateTime> epoch() const { return epoch_; }
  void ticked();
  // Waits until the next tick may be due, a stop signal comes or `fd` or
  // `otherFd` (when not -1) becomes readable.
  void wait(StopSignals& signals, int fd, int otherFd = -1);
  // Late ticks skipped over the run, on standard error, when there were any.
  void reportSkipped() const;

 private:
  std::chrono::nanoseconds interval_;
  std::chrono::steady_clock::time_point next_{};  // by the interval
  // On the second (only then is there a timer):
  std::chrono::nanoseconds phase_{};
  std::unique_ptr<RealtimeTimer> timer_;
  std::unique_ptr<TickSchedule> schedule_;
  std::optional<TDateTime> epoch_;
  bool lateReported_ = false;
};

}  // namespace waymock::cli
