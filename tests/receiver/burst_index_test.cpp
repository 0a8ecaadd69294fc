#include "receiver/burst_index.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "receiver/replay_pacing.h"
#include "receiver/replay_test_support.h"
#include "support/error.h"

namespace waymock::receiver {
namespace {

using namespace test::replay;
using test::withChecksum;

// Bursts: the GGA alone, then one per RMC line; the log's own steps after
// them are 1 s, 2 s, none (no time), none (no time), 1 s.
std::vector<std::string> timedLog() {
  return {gga(1),
          rmcAt("100000", "230394"),
          kGsa,
          rmcAt("100001", "230394"),
          rmcAt("100003", "230394"),
          rmcAt("", "230394"),
          rmcAt("100004", "230394"),
          std::string(100000, 'x'),
          rmcAt("100005", "230394")};
}

long long ms(std::chrono::nanoseconds duration) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

TEST(BurstIndex, CountsBurstsAndFindsEachRmcLine) {
  Replay replay;
  const std::string text = joined(timedLog(), "\r\n");
  const BurstIndex index = BurstIndex::read(replay.file("a.log", text), false);
  ASSERT_EQ(index.count(), 6u);
  EXPECT_EQ(index.offset(0), 0u);
  std::size_t at = 0;
  for (std::size_t burst = 1; burst < index.count(); ++burst) {
    at = text.find("$GPRMC", at + 1);
    EXPECT_EQ(index.offset(burst), at) << burst;
  }

  // Modern mode begins bursts at GN RMC lines too.
  const std::string gn =
      joined({rmc(1), withChecksum("$GNRMC,000002,A,,,,,,,230394,,"), rmc(3)}, "\n");
  EXPECT_EQ(BurstIndex::read(replay.file("gn.log", gn), false).count(), 2u);
  EXPECT_EQ(BurstIndex::read(replay.file("gn.log", gn), true).count(), 3u);
  EXPECT_EQ(BurstIndex::read(replay.file("empty.log", ""), false).count(), 0u);
}

TEST(BurstIndex, TimeLeftIsWhatTheReplayStillTakes) {
  struct Case {
    const char* name;
    ReplayPace pace;
    std::vector<long long> leftMs;  // after 0, 1, ... 6 bursts sent
  };
  const std::vector<Case> cases = {
      {"Delay", {300, false, 1, false}, {1800, 1800, 1500, 1200, 900, 600, 300}},
      {"the log's own time", {300, true, 1, false}, {4600, 4600, 4600, 3600, 1600, 1300, 1000}},
      {"twice as fast", {300, true, 2, false}, {2600, 2600, 2600, 2100, 1100, 800, 500}},
  };
  Replay replay;
  const std::string log = replay.file("a.log", joined(timedLog(), "\r\n"));
  const BurstIndex index = BurstIndex::read(log, false);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<long long> left;
    for (std::size_t sent = 0; sent <= index.count(); ++sent) {
      left.push_back(ms(index.timeLeft(sent, c.pace)));
    }
    EXPECT_EQ(left, c.leftMs);
    EXPECT_EQ(ms(index.timeLeft(index.count() + 1, c.pace)), 0);

    // The replay itself takes what the index said it would.
    Replay timed;
    timed.r.SetNMEALog(false);  // only the end's time counts
    applyPace(timed.r, c.pace);
    timed.r.SetFileName(log);
    timed.r.Open();
    EXPECT_EQ(timed.events.back(), "disconnect@" + std::to_string(c.leftMs[0]) + " a.log");
  }
}

TEST(BurstIndex, NamesTheFileItCannotRead) {
  Replay replay;
  const std::string missing = (replay.dir / "gone.log").string();
  const std::string folder = replay.dir.path().string();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {missing, "Cannot find the log file " + missing + "."},
      {folder, "The log file " + folder + " is not a regular file."},
  };
  for (const auto& [path, message] : cases) {
    try {
      BurstIndex::read(path, false);
      ADD_FAILURE() << path;
    } catch (const IoError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
}

TEST(FileReplay, JumpGoesOnFromTheBurstJumpedTo) {
  const std::vector<std::string> lines = {rmc(1), gga(11), rmc(2), gga(12),
                                          rmc(3), gga(13), rmc(4)};
  struct Case {
    const char* name;
    std::size_t burst;
    std::ptrdiff_t shift;  // added to the burst's offset: a log rewritten since
    Events expected;
    std::size_t passBursts;
  };
  const std::vector<Case> cases = {
      {"forward",
       2,
       0,
       {"connect a.log", "receive@0", "receive@0 RMC2 GGA12", "receive@300 RMC3 GGA13",
        "disconnect@600 a.log"},
       4},
      {"back to the start",
       0,
       0,
       {"connect a.log", "receive@0", "receive@0", "receive@300 RMC1 GGA11",
        "receive@600 RMC2 GGA12", "receive@900 RMC3 GGA13", "disconnect@1200 a.log"},
       4},
      {"an offset inside a line lands on the next RMC line",
       1,
       5,
       {"connect a.log", "receive@0", "receive@0 RMC2 GGA12", "receive@300 RMC3 GGA13",
        "disconnect@600 a.log"},
       3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Replay replay;
    replay.r.SetDelay(300);
    const std::string log = replay.file("a.log", joined(lines, "\r\n"));
    const BurstIndex index = BurstIndex::read(log, false);
    bool jumped = false;
    replay.r.OnReceive = [&](TTarnCustomGPSReceiver&) {
      replay.events.push_back(replay.received());
      if (jumped) return;
      jumped = true;
      EXPECT_TRUE(replay.r.jumpTo(c.burst, index.offset(c.burst) + c.shift));
      EXPECT_EQ(replay.r.passBursts(), c.burst);
    };
    replay.r.SetFileName(log);
    replay.r.Open();
    EXPECT_EQ(replay.events, c.expected);
    EXPECT_EQ(replay.r.passBursts(), c.passBursts);
    EXPECT_FALSE(replay.r.jumpTo(1, index.offset(1)));
  }
}

}  // namespace
}  // namespace waymock::receiver
