#include "platform/realtime_timer.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>

namespace waymock {
namespace {

using namespace std::chrono_literals;

bool readable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeoutMs) == 1;
}

TEST(RealtimeTimer, ExpiresAtItsAbsoluteTimeOnceAndIsQuietUntilArmedAgain) {
  RealtimeTimer timer;
  EXPECT_EQ(timer.take(), RealtimeTimer::Event::none);
  const auto now = readClocks().realtime;
  timer.armAt(now + 3600s);
  EXPECT_FALSE(readable(timer.fd(), 0));
  EXPECT_EQ(timer.take(), RealtimeTimer::Event::none);
  // A time that has passed (or before 1970) expires at once.
  for (const std::chrono::nanoseconds at : {now - 1s, std::chrono::nanoseconds(-5s)}) {
    timer.armAt(at);
    ASSERT_TRUE(readable(timer.fd(), 5000));
    EXPECT_EQ(timer.take(), RealtimeTimer::Event::expired);
    EXPECT_FALSE(readable(timer.fd(), 0));
    EXPECT_EQ(timer.take(), RealtimeTimer::Event::none);
  }
  // Re-arming replaces the earlier time.
  timer.armAt(now - 1s);
  timer.armAt(now + 3600s);
  EXPECT_FALSE(readable(timer.fd(), 0));
}

TEST(RealtimeTimer, ReadsBothClocksTogether) {
  const ClockReading a = readClocks();
  const ClockReading b = readClocks();
  EXPECT_GE(b.monotonic, a.monotonic);
  // The real-time clock reads as the standard library's.
  const auto system = std::chrono::system_clock::now().time_since_epoch();
  EXPECT_LT(std::chrono::abs(system - b.realtime), 60s);
}

}  // namespace
}  // namespace waymock
