#include "app/replay_driver.h"

#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <string>

#include "common/test_support.h"
#include "error_log_watch.h"
#include "generator/nmea_generator.h"
#include "support/error.h"

namespace waymock::app {
namespace {

using receiver::TTarnCustomGPSReceiver;
using receiver::TTarnFileGPSReceiver;

constexpr int kHangCapMs = 10000;  // generous: only a hang runs into it

// A replay of a log of four generator bursts: four deliveries (the lines
// before the first RMC line, then three bursts; the last is never delivered).
class ReplayDriverTest : public ::testing::Test {
 protected:
  ReplayDriverTest() {
    generator::TTarnNMEAGenerator gen(systemClock(), nullptr);
    std::string log;
    for (int i = 0; i < 4; ++i) log += gen.GetSentences();
    test::writeFile(dir / "track.log", log);
    receiver.SetFileName((dir / "track.log").string());
    receiver.OnConnect = [this](TTarnFileGPSReceiver&, const std::string&) { ++connects; };
    receiver.OnDisconnect = [this](TTarnFileGPSReceiver&, const std::string&) { ++disconnects; };
    receiver.OnReceive = [this](TTarnCustomGPSReceiver&) {
      ++receives;
      if (onReceive) onReceive();
    };
    QObject::connect(driver.get(), &ReplayDriver::ended, [this] { ++ended; });
  }

  test::TempDir dir;
  TTarnFileGPSReceiver receiver;
  std::unique_ptr<ReplayDriver> driver = std::make_unique<ReplayDriver>(receiver);
  std::function<void()> onReceive;
  int connects = 0, disconnects = 0, receives = 0, ended = 0;
};

TEST_F(ReplayDriverTest, ReplaysEveryBurstFromTheEventLoopUntilTheEnd) {
  receiver.SetDelay(5);
  ASSERT_TRUE(driver->start());
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(receives, 0) << "the steps come from the event loop, not from start()";
  EXPECT_FALSE(driver->start()) << "already replaying";
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 1; }, kHangCapMs));
  EXPECT_EQ(receives, 4);
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(receiver.Active());
  EXPECT_FALSE(driver->replaying());
}

TEST_F(ReplayDriverTest, StopDuringALongDelayTakesEffectAtOnce) {
  receiver.SetDelay(3'600'000);
  ASSERT_TRUE(driver->start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return receives == 1; }, kHangCapMs));
  driver->stop();
  EXPECT_FALSE(receiver.Active());
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 1; }, kHangCapMs));
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(receives, 1);
}

TEST_F(ReplayDriverTest, PauseHoldsTheReplayUntilResume) {
  receiver.SetDelay(1);
  onReceive = [this] {
    if (receives == 2) driver->pause();
  };
  ASSERT_TRUE(driver->start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return receives == 2; }, kHangCapMs));
  QTest::qWait(3 * ReplayDriver::kPausedPollMs);
  EXPECT_EQ(receives, 2);
  EXPECT_TRUE(driver->paused());
  EXPECT_TRUE(receiver.Active());
  driver->resume();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 1; }, kHangCapMs));
  EXPECT_EQ(receives, 4);
}

TEST_F(ReplayDriverTest, AnErrorInAHandlerEndsTheReplayWithOneErrorLine) {
  receiver.SetDelay(1);
  onReceive = [this] {
    if (receives == 2) raise("Heading must be between 0 and 359.99.");
  };
  test::ErrorLogWatch log;
  ASSERT_TRUE(driver->start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 1; }, kHangCapMs));
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{"TarnFileGPSReceiver Heading must be between 0 and 359.99."});
  EXPECT_EQ(receives, 2);
  EXPECT_FALSE(receiver.Active());
  // The receiver is ready for the next replay.
  onReceive = nullptr;
  receives = 0;
  ASSERT_TRUE(driver->start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 2; }, kHangCapMs));
  EXPECT_EQ(receives, 4);
}

TEST_F(ReplayDriverTest, DestroyedMidReplayClosesTheReceiverQuietly) {
  receiver.SetDelay(3'600'000);
  ASSERT_TRUE(driver->start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return receives == 1; }, kHangCapMs));
  driver.reset();
  QTest::qWait(20);
  EXPECT_FALSE(receiver.Active());
  EXPECT_EQ(disconnects, 0);

  // Also from inside a handler of the step it drives.
  driver = std::make_unique<ReplayDriver>(receiver);
  receiver.SetDelay(1);
  onReceive = [this] {
    if (receives == 2) driver.reset();
  };
  ASSERT_TRUE(driver->start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return driver == nullptr; }, kHangCapMs));
  QTest::qWait(20);
  EXPECT_FALSE(receiver.Active());
}

}  // namespace
}  // namespace waymock::app
