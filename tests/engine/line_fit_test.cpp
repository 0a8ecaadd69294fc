#include "engine/line_fit.h"

#include <gtest/gtest.h>

namespace waymock {
namespace {

using namespace std::chrono_literals;

TEST(LineFit, TenBitsPerByteAgainstTheIntervalAndTheLowestRateThatFits) {
  struct Case {
    std::size_t bytes;
    int rate;
    std::chrono::nanoseconds interval;
    std::chrono::nanoseconds lineTime;
    bool fits;
    int lowestRate;
  } const cases[] = {
      {480, 4800, 1s, 1s, true, 4800},  // exactly the interval still fits
      {481, 4800, 1s, 1002083333ns, false, 9600},
      {720, 38400, 1s, 187500us, true, 9600},
      {720, 4800, 100ms, 1500ms, false, 115200},
      {30000, 4800, 1s, 62500ms, false, 460800},  // a rate of current receivers
      {100000, 256000, 1s, 3906250us, false, 0},  // no rate is fast enough
      {0, 110, 1ms, 0s, true, 110},
  };
  for (const auto& c : cases) {
    const LineFit fit = burstLineFit(c.bytes, c.rate, c.interval);
    EXPECT_EQ(fit.bytes, c.bytes);
    EXPECT_EQ(fit.lineTime, c.lineTime) << c.bytes << " at " << c.rate;
    EXPECT_EQ(fit.fits, c.fits) << c.bytes << " at " << c.rate;
    EXPECT_EQ(fit.lowestRate, c.lowestRate) << c.bytes << " at " << c.rate;
  }
}

}  // namespace
}  // namespace waymock
