#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace waymock {

// A time left as hours, minutes and seconds, to the nearest second: "0:04:48",
// "12:00:05".
std::string durationText(std::chrono::nanoseconds duration);

// Where a replay of a recorded log stands: "12 of 300 bursts sent, 0:04:48 left".
std::string burstProgressText(std::size_t sent, std::size_t total,
                              std::chrono::nanoseconds timeLeft);

}  // namespace waymock
