#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace waymock {

// A time left as hours, minutes and seconds, to the nearest second: "0:04:48",
// "12:00:05".
std::string durationText(std::chrono::nanoseconds duration);

// Where a replay of a recorded log stands: "12 of 300 bursts sent, 0:04:48 left".
std::string burstProgressText(std::size_t sent, std::size_t total,
                              std::chrono::nanoseconds timeLeft);

// Why a log shows no bursts to replay: its `bursts` begin with $GNRMC, which
// only the modern receiver reads: "No bursts: the log's 3 begin with $GNRMC;
// check "Modern receiver in file mode"".
std::string modernLogText(std::size_t bursts);

// How far a motion has come, in kilometres with two decimals and the user's
// decimal point: "1.25 of 4.80 km, 0:10:39 left" along a route,
// "1.25 of 4.80 km" when the time left is not known, "3.20 km travelled"
// without a route.
std::string distanceProgressText(double doneMetres, std::optional<double> totalMetres,
                                 std::optional<double> secondsLeft, char decimalPoint);

}  // namespace waymock
