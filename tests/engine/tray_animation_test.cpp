#include "engine/tray_animation.h"

#include <gtest/gtest.h>

namespace waymock {
namespace {

TEST(TrayAnimation, FrameIntervalAndWhetherToAnimate) {
  struct Case {
    long long intervalMs;
    bool portOpen;
    bool running;
    TrayAnimation expected;
  } const cases[] = {
      {3000, true, true, {3000, true}},   {70000, true, true, {4464, true}},
      {65535, true, true, {65535, true}}, {1000, false, true, {1000, false}},  // no port
      {1000, true, false, {1000, false}},  // timer off or replay not active
      {8192000, true, true, {0, false}},   // a zero frame time shows the still icon
      {0, true, true, {0, false}},        {2147483647, true, true, {65535, true}},
      {-1000, true, true, {64536, true}},  // a negative Delay, taken the same way
  };
  for (const auto& c : cases) {
    EXPECT_EQ(trayAnimation(c.intervalMs, c.portOpen, c.running), c.expected)
        << c.intervalMs << " " << c.portOpen << c.running;
  }
}

}  // namespace
}  // namespace waymock
