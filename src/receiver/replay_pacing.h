#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include "receiver/file_gps_receiver.h"

namespace waymock::receiver {

// The UTC time of the first $GPRMC sentence (with `modern`, of the first
// $GPRMC or $GNRMC) in `text`, in seconds: counted from midnight when the
// sentence has no usable date, else from an epoch of its own (fine for
// differences). Nothing when the time field is not a time.
struct RmcTime {
  long double seconds = 0;
  bool dated = false;
};
std::optional<RmcTime> rmcTime(std::string_view text, bool modern = false);

// The wait rule of a replay at the log's own pace: the time between one burst's
// $GPRMC and the next one's, divided by `speed` (2 plays twice as fast). A
// step across midnight waits the step, not a day; without dates a step back
// counts as midnight passing only when the step forward through midnight is at
// most an hour (23:59:58 to 00:00:01 waits 3 s). Nothing, so the replay's
// Delay applies, when either time is missing or unusable or the log goes back
// in time; the lines before the first $GPRMC wait nothing.
// With `modern`, the RMC of the receiver's modern mode ($GPRMC or $GNRMC).
TTarnFileGPSReceiver::WaitRule pacedWait(long double speed, bool modern = false);

// The log's own time from one RMC time to the next, in seconds, as pacedWait
// counts it at speed 1 (before its cap of a week); nothing when the log goes
// back in time.
std::optional<long double> pacedStep(const RmcTime& from, const RmcTime& to);

// How a replay is paced: Delay after each burst, or the log's own timing at a
// rate (bursts without a usable time wait Delay), once or in a loop.
struct ReplayPace {
  int delay = 1000;  // milliseconds
  bool paced = false;
  long double rate = 1;
  bool loop = false;
};

// Sets the receiver's Delay, wait rule and loop to `pace` (the wait rule reads
// RMC lines as the receiver's mode does).
void applyPace(TTarnFileGPSReceiver& receiver, const ReplayPace& pace);

}  // namespace waymock::receiver
