#include "motion/speed_heading_motion.h"

#include <gtest/gtest.h>

#include <memory>

#include "motion/motion_settings.h"
#include "motion/noisy_motion.h"

namespace waymock::motion {
namespace {

// Rhumb, along the equator: 0.001 degrees of longitude is 111.319 m.
constexpr double kMetresPerMilliDegree = 111.31949079327357;

TEST(SpeedHeadingMotion, SteersFromWhereItIsAndRestartsAtTheStart) {
  SpeedHeadingMotion motion({0, 0}, kMetresPerMilliDegree, 90, false);
  motion.advance(2);
  EXPECT_NEAR(motion.fix().position.longitude, 0.002, 1e-12);
  EXPECT_TRUE(motion.steer(2 * kMetresPerMilliDegree, 270));
  motion.advance(3);
  EXPECT_NEAR(motion.fix().position.longitude, -0.004, 1e-12);
  EXPECT_EQ(motion.fix().course, 270);
  EXPECT_EQ(motion.fix().speed, 2 * kMetresPerMilliDegree);
  EXPECT_NEAR(motion.progress().done, 8 * kMetresPerMilliDegree, 1e-9);
  EXPECT_EQ(motion.progress().total, std::nullopt);
  EXPECT_FALSE(motion.jumpTo(10));
  motion.restart({-33.5, 18.25});
  EXPECT_EQ(motion.fix().position.latitude, -33.5);
  EXPECT_EQ(motion.fix().position.longitude, 18.25);
  EXPECT_EQ(motion.progress().done, 0);
}

TEST(SpeedHeadingMotion, StaysAtThePoleARhumbLineReaches) {
  SpeedHeadingMotion motion({89.99, 0}, 1000, 0, false);
  motion.advance(10);
  EXPECT_EQ(motion.fix().position.latitude, 90);
  EXPECT_EQ(motion.fix().speed, 0);
}

TEST(NoisyMotion, WandersAboutTheExactPositionTheSameWayForTheSameSeed) {
  MotionSettings s;
  s.model = MotionModel::speedHeading;
  s.speedKmh = 36;
  s.heading = 90;
  s.noiseMetres = 5;
  s.seed = 7;
  auto a = makeMotion(s, {0, 0});
  auto b = makeMotion(s, {0, 0});
  double sumSquares = 0;
  constexpr int kTicks = 2000;
  for (int i = 0; i < kTicks; ++i) {
    a->advance(1);
    b->advance(1);
    EXPECT_EQ(a->fix().position.latitude, b->fix().position.latitude);
    // The exact motion goes on: 10 m a second east along the equator.
    const double east =
        (a->fix().position.longitude - 0.001 * (i + 1) * 10 / kMetresPerMilliDegree) * 1000 *
        kMetresPerMilliDegree;
    const double north = a->fix().position.latitude * 110574.3;
    sumSquares += east * east + north * north;
  }
  EXPECT_NEAR(std::sqrt(sumSquares / kTicks), 5, 0.3);
  EXPECT_NEAR(a->progress().done, 10 * kTicks, 1e-6);
  // A restart repeats the same errors.
  a->restart({0, 0});
  b->restart({0, 0});
  a->advance(1);
  b->advance(1);
  EXPECT_EQ(a->fix().position.longitude, b->fix().position.longitude);
  s.seed = 8;
  auto c = makeMotion(s, {0, 0});
  c->advance(1);
  EXPECT_NE(a->fix().position.longitude, c->fix().position.longitude);
}

}  // namespace
}  // namespace waymock::motion
