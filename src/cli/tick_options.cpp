#include "cli/tick_options.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>

#include "cli/option_checks.h"
#include "cli/port_options.h"
#include "cli/stop_signals.h"
#include "engine/tick_schedule.h"
#include "platform/clock.h"
#include "platform/realtime_timer.h"
#include "support/error.h"
#include "support/shown_text.h"

namespace waymock::cli {

void addTickOptions(CLI::App& command, TickOptions& options) {
  command
      .add_option("--tick", options.mode,
                  "When ticks come: interval (each a full --interval after the end of the last, "
                  "the time fields read as they are written) or on-second (tick k at the next "
                  "whole second plus k intervals, its burst --tick-phase later, its time fields "
                  "carrying the tick's time exactly, as a receiver's); default interval")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            if (text == "interval" || text == "on-second") return {};
            return "\"" + shownText(text) + "\" is not a way to tick; use interval or on-second.";
          },
          "{interval,on-second}", "mode"))
      ->type_name("MODE");
  decimalOnly(command
                  .add_option("--tick-phase", options.phaseMs,
                              "With --tick on-second: milliseconds from each tick's time to its "
                              "burst, 0 to 999 (default 50)")
                  ->check(numberIn({0, 1000, false}))
                  ->type_name("MS"));
}

RunPace::RunPace(const TickOptions& options, std::chrono::nanoseconds interval)
    : interval_(interval) {
  if (options.mode != "on-second") {
    if (options.phaseMs) raise("--tick-phase applies only with --tick on-second.");
    return;
  }
  phase_ = std::chrono::milliseconds(options.phaseMs.value_or(kDefaultPhaseMs));
  timer_ = std::make_unique<RealtimeTimer>();
}

RunPace::~RunPace() = default;

bool RunPace::due() {
  if (!timer_) return std::chrono::steady_clock::now() >= next_;
  if (epoch_) return true;
  // The grid starts at the first look, when the run is ready to send.
  if (!schedule_) schedule_ = std::make_unique<TickSchedule>(interval_, phase_, readClocks());
  timer_->take();
  const TickSchedule::Wake wake = schedule_->take(readClocks());
  if (wake.clockStep) {
    const auto seconds = std::llround(static_cast<double>(wake.clockStep->count()) / 1e9);
    std::fprintf(stderr,
                 "waymock-cli: The clock was set %s by %lld s; the ticks start again on the next "
                 "whole second.\n",
                 seconds > 0 ? "ahead" : "back", std::llabs(seconds));
  }
  if (wake.skipped > 0 && !lateReported_) {
    lateReported_ = true;
    std::fprintf(stderr,
                 "waymock-cli: A tick came too late to be sent on time and was skipped; late "
                 "ticks are skipped, not sent in a bunch.\n");
  }
  timer_->armAt(schedule_->deadline());
  if (wake.epoch) epoch_ = dateTimeFromUnix(*wake.epoch);
  return epoch_.has_value();
}

void RunPace::ticked() {
  epoch_.reset();
  if (!timer_) next_ = std::chrono::steady_clock::now() + interval_;
}

void RunPace::wait(StopSignals& signals, int fd, int otherFd) {
  if (!timer_) {
    signals.wait(next_ - std::chrono::steady_clock::now(), fd, otherFd);
    return;
  }
  // The timer wakes the wait; the bound is for nothing but certainty.
  signals.wait(std::chrono::seconds(1), timer_->fd(), fd, otherFd);
}

void RunPace::reportSkipped() const {
  if (!schedule_ || schedule_->skippedTicks() == 0) return;
  const long long n = schedule_->skippedTicks();
  std::fprintf(stderr, "waymock-cli: Skipped %lld late %s.\n", n, n == 1 ? "tick" : "ticks");
}

}  // namespace waymock::cli
