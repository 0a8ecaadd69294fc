#include "engine/progress_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace waymock {
namespace {

using namespace std::chrono_literals;

TEST(ProgressText, SaysHowFarAndHowLong) {
  struct Case {
    std::size_t sent;
    std::size_t total;
    std::chrono::nanoseconds left;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0, 300, 300s, "0 of 300 bursts sent, 0:05:00 left"},
      {12, 300, 288s, "12 of 300 bursts sent, 0:04:48 left"},
      {1, 1, 499ms, "1 of 1 burst sent, 0:00:00 left"},
      {0, 0, 0s, "0 of 0 bursts sent, 0:00:00 left"},
      {5, 7, 43205s + 500ms, "5 of 7 bursts sent, 12:00:06 left"},
      {5, 7, -3s, "5 of 7 bursts sent, 0:00:00 left"},
  };
  for (const auto& c : cases) EXPECT_EQ(burstProgressText(c.sent, c.total, c.left), c.text);
}

TEST(ProgressText, SaysHowFarAMotionHasCome) {
  EXPECT_EQ(distanceProgressText(1250, 4800, 639.4, ','), "1,25 of 4,80 km, 0:10:39 left");
  EXPECT_EQ(distanceProgressText(1250, 4800, std::nullopt, '.'), "1.25 of 4.80 km");
  EXPECT_EQ(distanceProgressText(3204.9, std::nullopt, std::nullopt, '.'), "3.20 km travelled");
  EXPECT_EQ(distanceProgressText(-1, 0, 0, '.'), "0.00 of 0.00 km, 0:00:00 left");
}

}  // namespace
}  // namespace waymock
