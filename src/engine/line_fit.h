#pragma once

#include <chrono>
#include <cstddef>

namespace waymock {

// Whether a burst fits on a serial line within the transmission interval: at
// 8N1 each byte takes 10 bits (start, eight data, stop), so a burst of `bytes`
// needs bytes × 10 ÷ rate seconds. A burst that needs longer than the interval
// piles up in the port's buffer and reaches the client ever later.
struct LineFit {
  std::size_t bytes = 0;
  std::chrono::nanoseconds lineTime{0};  // on the line at the given rate
  bool fits = true;                      // lineTime is at most the interval
  int lowestRate = 0;  // the lowest listed or fast rate that fits; 0 when none does
};

LineFit burstLineFit(std::size_t bytes, int baudRate, std::chrono::nanoseconds interval);

}  // namespace waymock
