#include "engine/tick_schedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

namespace waymock {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// The two clocks as a fake pair: the real-time clock `offset` ahead of the
// monotonic one, which only a step changes.
struct FakeClocks {
  nanoseconds offset = 1'700'000'000s;
  nanoseconds monotonic{};
  ClockReading at(nanoseconds realtime) {
    monotonic = realtime - offset;
    return {realtime, monotonic};
  }
  ClockReading stepBy(nanoseconds step, nanoseconds elapsed) {
    offset += step;
    monotonic += elapsed;
    return {monotonic + offset, monotonic};
  }
};

constexpr nanoseconds kStart = 1'700'000'123s + 300ms;  // 0.3 s into a second

TEST(TickSchedule, TicksOnTheSecondAndItsTenthsWithoutDrift) {
  struct Case {
    nanoseconds interval, phase;
    nanoseconds firstEpoch;
  };
  for (const Case c : {Case{1s, 50ms, 1'700'000'124s}, Case{100ms, 50ms, 1'700'000'124s},
                       Case{1s, 0ms, 1'700'000'124s}}) {
    FakeClocks clocks;
    TickSchedule s(c.interval, c.phase, clocks.at(kStart));
    EXPECT_EQ(s.deadline(), c.firstEpoch + c.phase);
    // Woken early: nothing, and the schedule stays.
    EXPECT_EQ(s.take(clocks.at(s.deadline() - 1ns)).epoch, std::nullopt);
    for (int k = 0; k < 1000; ++k) {
      // Every wake a little late, never enough to skip: the grid holds.
      const auto wake = s.take(clocks.at(s.deadline() + c.interval / 10));
      ASSERT_EQ(wake.epoch, c.firstEpoch + k * c.interval) << k;
      ASSERT_EQ(wake.skipped, 0);
    }
    EXPECT_EQ(s.skippedTicks(), 0);
  }
}

// A wake half an interval (at most half a second) after a deadline is too
// late for that tick: it is skipped, with every other one that late, and the
// first that is still in time is sent, once.
TEST(TickSchedule, LateTicksAreSkippedAndCountedNeverBunched) {
  struct Case {
    nanoseconds interval, late;
    long long skipped;
    std::optional<nanoseconds> sentEpochAfterFirst;  // from the first epoch
  };
  const Case cases[] = {
      {1s, 499ms, 0, 0s},       {1s, 500ms, 1, std::nullopt},
      {1s, 3200ms, 3, 3s},      {1s, 3600ms, 4, std::nullopt},
      {100ms, 49ms, 0, 0ms},    {100ms, 50ms, 1, std::nullopt},
      {100ms, 320ms, 3, 300ms}, {10s, 600ms, 1, std::nullopt},
  };
  for (const Case& c : cases) {
    FakeClocks clocks;
    TickSchedule s(c.interval, 50ms, clocks.at(kStart));
    const nanoseconds first = s.epoch();
    const auto wake = s.take(clocks.at(s.deadline() + c.late));
    EXPECT_EQ(wake.skipped, c.skipped) << c.late.count();
    EXPECT_EQ(s.skippedTicks(), c.skipped);
    ASSERT_EQ(wake.epoch.has_value(), c.sentEpochAfterFirst.has_value()) << c.late.count();
    if (wake.epoch) {
      EXPECT_EQ(*wake.epoch - first, *c.sentEpochAfterFirst);
    }
    // The next one sent is the one after, on its own deadline.
    const nanoseconds next = s.epoch();
    EXPECT_EQ(s.take(clocks.at(s.deadline())).epoch, next);
    EXPECT_EQ((next - first) % c.interval, 0ns);
  }
}

TEST(TickSchedule, AClockStepOfMoreThanASecondStartsTheGridAgain) {
  struct Case {
    nanoseconds step;
    bool realigned;
  };
  for (const Case c : {Case{3600s, true}, Case{-3600s, true}, Case{1001ms, true},
                       Case{-1001ms, true}, Case{400ms, false}, Case{-400ms, false}}) {
    FakeClocks clocks;
    TickSchedule s(1s, 50ms, clocks.at(kStart));
    ASSERT_TRUE(s.take(clocks.at(s.deadline())).epoch);
    const nanoseconds epochBefore = s.epoch();
    // The clock is set 0.2 s after the tick was sent.
    const ClockReading now = clocks.stepBy(c.step, 200ms);
    const auto wake = s.take(now);
    EXPECT_EQ(wake.clockStep.has_value(), c.realigned) << c.step.count();
    EXPECT_EQ(wake.skipped, 0);
    EXPECT_EQ(s.skippedTicks(), 0);
    if (c.realigned) {
      EXPECT_EQ(*wake.clockStep, c.step);
      EXPECT_EQ(s.epoch(), std::chrono::ceil<std::chrono::seconds>(now.realtime));
    } else {
      EXPECT_EQ(s.epoch(), epochBefore);
    }
    const nanoseconds next = s.epoch();
    EXPECT_EQ(s.take(clocks.at(s.deadline())).epoch, next);
  }
}

// The clock's slewing adds up over a long run without ever being taken for a
// step.
TEST(TickSchedule, SlewingIsNoStep) {
  FakeClocks clocks;
  TickSchedule s(1s, 50ms, clocks.at(kStart));
  for (int k = 0; k < 4000; ++k) {
    clocks.stepBy(500us, 0ns);
    ASSERT_FALSE(s.take(clocks.at(s.deadline())).clockStep) << k;
  }
}

}  // namespace
}  // namespace waymock
