#include "engine/line_fit.h"

#include <span>

#include "platform/serial.h"

namespace waymock {

namespace {

std::chrono::nanoseconds lineTime(std::size_t bytes, int baudRate) {
  const long double seconds = static_cast<long double>(bytes) * 10 / baudRate;
  return std::chrono::nanoseconds(static_cast<long long>(seconds * 1e9L + 0.5L));
}

}  // namespace

LineFit burstLineFit(std::size_t bytes, int baudRate, std::chrono::nanoseconds interval) {
  LineFit fit;
  fit.bytes = bytes;
  fit.lineTime = baudRate > 0 ? lineTime(bytes, baudRate) : std::chrono::nanoseconds::max();
  fit.fits = fit.lineTime <= interval;
  for (const auto& rates :
       {std::span<const int>(kSerialBaudRates), std::span<const int>(kFastSerialBaudRates)}) {
    for (const int rate : rates) {
      if (lineTime(bytes, rate) <= interval) {
        fit.lowestRate = rate;
        return fit;
      }
    }
  }
  return fit;
}

}  // namespace waymock
