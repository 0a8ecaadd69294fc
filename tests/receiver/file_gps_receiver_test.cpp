#include "receiver/file_gps_receiver.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "receiver/replay_pacing.h"
#include "receiver/replay_test_support.h"

namespace waymock::receiver {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace test::replay;
using test::withChecksum;
using State = ReplayStatus::State;

TEST(FileReplay, GroupsLinesIntoBurstsFromOneRmcLineToTheNext) {
  const std::string big(3u << 20, 'x');
  struct Case {
    const char* name;
    std::string content;
    Events expected;
  };
  const std::vector<std::string> example = {gga(1), rmc(2), kGsa, gga(3), rmc(4), kGsv};
  const Events exampleEvents = {"connect a.log", "receive@0 GGA1", "receive@1000 RMC2 GSA GGA3",
                                "disconnect@2000 a.log"};
  const std::vector<Case> cases = {
      {"CR LF", joined(example, "\r\n"), exampleEvents},
      {"LF only", joined(example, "\n"), exampleEvents},
      {"CR CR LF", joined(example, "\r\r\n"), exampleEvents},
      {"no line end after the last line",
       joined(example, "\r\n").substr(0, joined(example, "\r\n").size() - 2), exampleEvents},
      {"without RMC",
       joined({gga(1), kGsa, gga(2)}, "\r\n"),
       {"connect a.log", "disconnect@0 a.log"}},
      {"one RMC line",
       joined({gga(1), rmc(2), gga(3)}, "\r\n"),
       {"connect a.log", "receive@0 GGA1", "disconnect@1000 a.log"}},
      {"beginning with RMC",
       joined({rmc(1), gga(2), rmc(3)}, "\r\n"),
       {"connect a.log", "receive@0", "receive@1000 RMC1 GGA2", "disconnect@2000 a.log"}},
      {"empty", "", {"connect a.log", "disconnect@0 a.log"}},
      // Lines beyond the size limits are dropped, the lines around them kept.
      {"a huge line",
       joined({gga(1), big, gga(2), rmc(3), gga(4), rmc(5)}, "\r\n"),
       {"connect a.log", "receive@0 GGA1 GGA2", "receive@1000 RMC3 GGA4", "disconnect@2000 a.log"}},
      {"a huge last line without line end",
       joined({gga(1), rmc(2)}, "\r\n") + big,
       {"connect a.log", "receive@0 GGA1", "disconnect@1000 a.log"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Replay replay;
    replay.r.SetFileName(replay.file("a.log", c.content));
    replay.r.Open();
    EXPECT_EQ(replay.events, c.expected);
    EXPECT_FALSE(replay.r.Active());
    EXPECT_FALSE(replay.r.replaying());
  }
}

TEST(FileReplay, DelayPacesTheBursts) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 60; ++i) lines.push_back(rmc(i));
  for (const int delay : {1000, 0, -5}) {
    SCOPED_TRACE(delay);
    Replay replay;
    replay.r.SetDelay(delay);
    replay.r.SetFileName(replay.file("a.log", joined(lines, "\r\n")));
    replay.r.Open();
    EXPECT_EQ(replay.r.deliveredBursts(), 60u);
    EXPECT_EQ(replay.events.back(),
              "disconnect@" + std::to_string(delay > 0 ? 60 * delay : 0) + " a.log");
    if (delay <= 0) {
      EXPECT_EQ(replay.clock->sleeps, 0);
    }
  }
}

// Only a regular file is a log: a FIFO without a writer or a terminal would
// hold the replay in a read for as long as nobody writes.
TEST(FileReplay, MissingEmptyOrNotARegularFileDoesNothing) {
  Replay replay;
  replay.r.Open();
  const fs::path fifo = replay.dir / "fifo.log";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const fs::path& name :
       {replay.dir / "missing.log", replay.dir.path(), fifo, fs::path("/dev/null")}) {
    replay.r.SetFileName(name.string());
    ASSERT_EQ(replay.r.FileName(), "") << name;
    replay.r.Open();
  }

  const std::string existing = replay.file("a.log", rmc(1) + "\r\n");
  replay.r.SetFileName(existing);
  fs::remove(existing);
  replay.r.Open();
  EXPECT_TRUE(replay.events.empty());
  EXPECT_FALSE(replay.r.Active());
}

TEST(FileReplay, PauseResumeAndCloseFromTheEventHook) {
  Replay replay;
  replay.r.SetFileName(
      replay.file("a.log", joined({gga(1), rmc(2), gga(3), rmc(4), rmc(5), rmc(6)}, "\r\n")));
  int pausedPasses = 0;
  int sleepsAtPause = 0;
  const auto note = [&](const std::string& what) {
    replay.events.push_back(what + "@" + std::to_string(replay.clock->elapsedMs()));
  };
  replay.r.processEvents = [&] {
    const std::size_t receives = replay.r.deliveredBursts();
    if (receives == 2 && !replay.r.Paused() && pausedPasses == 0) {
      replay.r.Pause();
      sleepsAtPause = replay.clock->sleeps;
      note("pause");
    } else if (replay.r.Paused()) {
      if (++pausedPasses == 20) {
        replay.r.Resume();
        note("resume");
        // Every paused pass slept instead of spinning.
        EXPECT_EQ(replay.clock->sleeps - sleepsAtPause, 19);
      }
    } else if (receives == 3) {
      replay.r.Pause();
      replay.r.Close();
    }
  };
  replay.r.Open();
  // The pause came during the wait after the second burst; nothing was read
  // while paused, and the rest of that wait ran after Resume.
  const Events expected = {"connect a.log",        "receive@0 GGA1", "receive@1000 RMC2 GGA3",
                           "pause@1015",           "resume@1300",    "receive@2000 RMC4",
                           "disconnect@2015 a.log"};
  EXPECT_EQ(replay.events, expected);
  EXPECT_FALSE(replay.r.Active());
  EXPECT_FALSE(replay.r.Paused());
}

TEST(FileReplay, NewFileNameDuringAReplayRestartsOnTheNewFile) {
  Replay replay;
  const std::string a = replay.file("a.log", joined({gga(1), rmc(2), gga(3), rmc(4)}, "\r\n"));
  const std::string b = replay.file("b.log", joined({gga(11), rmc(12), gga(13), rmc(14)}, "\r\n"));
  replay.r.SetFileName(a);
  bool switched = false;
  replay.r.processEvents = [&] {
    replay.r.SetFileName(switched ? b : a);  // the same name: nothing happens
    replay.r.SetFileName((replay.dir / "missing.log").string());
    if (replay.r.deliveredBursts() == 1 && !switched) {
      switched = true;
      replay.r.SetFileName(b);
    }
  };
  replay.r.Open();
  const Events expected = {"connect a.log",        "receive@0 GGA1",   "disconnect@15 a.log",
                           "connect b.log",        "receive@15 GGA11", "receive@1015 RMC12 GGA13",
                           "disconnect@2015 b.log"};
  EXPECT_EQ(replay.events, expected);
  EXPECT_EQ(replay.r.FileName(), b);
}

// Stop and then Load in a window: only a running replay restarts on a new name.
TEST(FileReplay, NewFileNameAfterCloseIsTakenWithoutReplaying) {
  Replay replay;
  const std::string a = replay.file("a.log", joined({gga(1), rmc(2), gga(3), rmc(4)}, "\r\n"));
  const std::string b = replay.file("b.log", joined({gga(11), rmc(12), gga(13), rmc(14)}, "\r\n"));
  replay.r.SetFileName(a);
  replay.r.OnReceive = [&](TTarnCustomGPSReceiver&) {
    replay.events.push_back(replay.received());
    replay.r.Close();
    replay.r.SetFileName(b);
  };
  replay.r.Open();
  const Events expected = {"connect a.log", "receive@0 GGA1", "disconnect@0 a.log"};
  EXPECT_EQ(replay.events, expected);
  EXPECT_EQ(replay.r.FileName(), b);
  EXPECT_FALSE(replay.r.Active());
}

// A line without an end (here 64 GiB of zero bytes, a sparse file) is read in
// bounded chunks: step() returns, Open lets the host act between chunks, and
// memory stays bounded.
TEST(FileReplay, ALineWithoutAnEndKeepsTheReplayResponsive) {
  Replay replay;
  replay.r.SetNMEALog(false);
  const std::string zero = replay.file("zero", "");
  fs::resize_file(zero, std::uintmax_t{1} << 36);
  replay.r.SetFileName(zero);
  ASSERT_TRUE(replay.r.start());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(replay.r.step().state, State::Waiting);
  replay.r.Close();
  EXPECT_EQ(replay.r.step().state, State::Finished);

  int calls = 0;
  replay.r.processEvents = [&] {
    if (++calls == 100) replay.r.Close();
  };
  replay.r.Open();
  EXPECT_EQ(calls, 100);
  EXPECT_EQ(replay.r.deliveredBursts(), 0u);
  const Events expected = {"connect zero", "disconnect@0 zero", "connect zero",
                           "disconnect@0 zero"};
  EXPECT_EQ(replay.events, expected);
}

TEST(FileReplay, CloseDuringALongDelayEndsPromptly) {
  Replay replay;
  replay.r.SetDelay(60000);
  replay.r.SetFileName(replay.file("a.log", joined({gga(1), rmc(2), rmc(3)}, "\r\n")));
  replay.r.processEvents = [&] {
    if (replay.clock->elapsedMs() >= 100) replay.r.Close();
  };
  replay.r.Open();
  const Events expected = {"connect a.log", "receive@0 GGA1", "disconnect@105 a.log"};
  EXPECT_EQ(replay.events, expected);
}

TEST(FileReplay, CloseDuringALongDelayEndsPromptlyInRealTime) {
  waymock::test::TempDir dir;
  waymock::test::writeFile(dir / "a.log", joined({gga(1), rmc(2), rmc(3)}, "\r\n"));
  TTarnFileGPSReceiver r;
  r.SetDelay(60000);
  r.SetFileName((dir / "a.log").string());
  const auto begin = std::chrono::steady_clock::now();
  r.processEvents = [&] {
    if (std::chrono::steady_clock::now() - begin >= 50ms) r.Close();
  };
  bool disconnected = false;
  r.OnDisconnect = [&](TTarnFileGPSReceiver&, const std::string&) { disconnected = true; };
  r.Open();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
  EXPECT_TRUE(disconnected);
}

TEST(FileReplay, CloseFromOnReceiveLetsTheWaitRun) {
  Replay replay;
  replay.r.SetFileName(replay.file("a.log", joined({gga(1), rmc(2), rmc(3)}, "\r\n")));
  const auto record = replay.r.OnReceive;
  replay.r.OnReceive = [&](TTarnCustomGPSReceiver& sender) {
    record(sender);
    replay.r.Close();
  };
  replay.r.Open();
  const Events expected = {"connect a.log", "receive@0 GGA1", "disconnect@1000 a.log"};
  EXPECT_EQ(replay.events, expected);

  // Another Close during that wait still cuts it short.
  replay.events.clear();
  replay.clock->advance(-1000ms);
  replay.r.processEvents = [&] {
    if (replay.clock->elapsedMs() >= 100) replay.r.Close();
  };
  replay.r.Open();
  const Events cut = {"connect a.log", "receive@0 GGA1", "disconnect@105 a.log"};
  EXPECT_EQ(replay.events, cut);
}

std::size_t openFiles() {
  std::size_t count = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST(FileReplay, AThrowingOnReceiveLeavesOpenAtOnce) {
  Replay replay;
  replay.r.SetFileName(replay.file("a.log", joined({gga(1), rmc(2), rmc(3), rmc(4)}, "\r\n")));
  const auto record = replay.r.OnReceive;
  replay.r.OnReceive = [&](TTarnCustomGPSReceiver& sender) {
    record(sender);
    if (replay.r.deliveredBursts() == 2) throw std::runtime_error("handler failed");
  };
  const std::size_t filesBefore = openFiles();
  EXPECT_THROW(replay.r.Open(), std::runtime_error);
  EXPECT_EQ(openFiles(), filesBefore);
  const Events expected = {"connect a.log", "receive@0 GGA1", "receive@1000 RMC2"};
  EXPECT_EQ(replay.events, expected);
  EXPECT_TRUE(replay.r.Active());
  EXPECT_FALSE(replay.r.replaying());
  replay.r.Close();
  EXPECT_FALSE(replay.r.Active());
  EXPECT_EQ(replay.events.size(), 3u);  // no OnDisconnect, then or later
}

TEST(FileReplay, StepNeverWaitsAndSaysWhenToComeBack) {
  Replay replay;
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < TTarnFileGPSReceiver::kLinesPerStep + 10; ++i) lines.push_back(kGsa);
  lines.push_back(rmc(1));
  lines.push_back(rmc(2));
  replay.r.SetNMEALog(false);
  replay.r.SetFileName(replay.file("a.log", joined(lines, "\r\n")));
  EXPECT_EQ(replay.r.step().state, State::Idle);
  ASSERT_TRUE(replay.r.start());
  EXPECT_FALSE(replay.r.start());  // one replay at a time

  // A long stretch without RMC is read over several steps.
  ReplayStatus s = replay.r.step();
  EXPECT_EQ(s.state, State::Waiting);
  EXPECT_EQ(s.due, ReplayClock::time_point{});
  EXPECT_EQ(replay.r.deliveredBursts(), 0u);
  s = replay.r.step();
  EXPECT_EQ(replay.r.deliveredBursts(), 1u);
  EXPECT_EQ(s.state, State::Waiting);
  EXPECT_EQ(s.due, replay.clock->start + 1000ms);

  // Not yet due: nothing is read.
  replay.clock->advance(999ms);
  EXPECT_EQ(replay.r.step().due, replay.clock->start + 1000ms);
  EXPECT_EQ(replay.r.deliveredBursts(), 1u);
  replay.r.Pause();
  replay.clock->advance(1ms);
  EXPECT_EQ(replay.r.step().state, State::Paused);
  replay.r.Resume();
  s = replay.r.step();
  EXPECT_EQ(replay.r.deliveredBursts(), 2u);
  replay.clock->advance(1000ms);
  EXPECT_EQ(replay.r.step().state, State::Finished);
  EXPECT_EQ(replay.r.step().state, State::Idle);
  EXPECT_EQ(replay.events.back(), "disconnect@2000 a.log");
}

TEST(FileReplay, PacedReplayFollowsTheLogsOwnTime) {
  struct Case {
    const char* name;
    long double speed;
    std::vector<std::string> lines;
    int endsAtMs;  // the replay's Delay is 300 ms
  };
  std::vector<std::string> seconds;
  for (int i = 0; i <= 10; ++i) seconds.push_back(rmc(100000 + i));
  const std::vector<Case> cases = {
      {"1 s steps ten times faster", 10, seconds, 1000},
      {"1 s steps at their own pace", 1, seconds, 10000},
      {"fractions of a second",
       1,
       {rmcAt("120000.25", "230394"), rmcAt("120000.75", "230394")},
       500},
      {"across midnight with dates",
       1,
       {rmcAt("235959.50", "311225"), rmcAt("000000.50", "010126"), rmcAt("000001.50", "010126")},
       2000},
      // Two-digit years as the records read them, 2000 to 2099: 99 to 00 goes back.
      {"two-digit years 99 to 00: back in time, Delay",
       1,
       {rmcAt("235959.50", "311299"), rmcAt("000000.50", "010100"), rmcAt("000001.50", "010100")},
       1300},
      {"four-digit years", 1, {rmcAt("235959", "31121999"), rmcAt("000001", "01012000")}, 2000},
      {"across midnight without dates",
       2,
       {rmcAt("235959", ""), rmcAt("000000", ""), rmcAt("000001", "")},
       1000},
      {"without dates, 23:59:58 to 00:00:01", 1, {rmcAt("235958", ""), rmcAt("000001", "")}, 3000},
      {"without dates, one second back: Delay", 1, {rmcAt("100001", ""), rmcAt("100000", "")}, 300},
      {"without dates, over an hour back through midnight: Delay",
       1,
       {rmcAt("220000", ""), rmcAt("000001", "")},
       300},
      {"back in time or no time: Delay",
       1,
       {rmcAt("235959", "230394"), rmcAt("000000", "230394"), rmcAt("", "230394"),
        rmcAt("000001", "230394")},
       900},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Replay replay;
    replay.r.SetNMEALog(false);  // the events need only the times
    replay.r.SetDelay(300);
    replay.r.waitRule = pacedWait(c.speed);
    replay.r.SetFileName(replay.file("a.log", joined(c.lines, "\r\n")));
    replay.r.Open();
    EXPECT_EQ(replay.r.deliveredBursts(), c.lines.size());
    EXPECT_EQ(replay.events.back(), "disconnect@" + std::to_string(c.endsAtMs) + " a.log");
  }
}

TEST(FileReplay, LoopStartsAgainAfterTheLastBurst) {
  Replay replay;
  replay.r.SetDelay(300);
  replay.r.waitRule = pacedWait(1);
  replay.r.setLoop(true);
  replay.r.OnReceive = [&replay](TTarnCustomGPSReceiver&) {
    replay.events.push_back(replay.received());
    if (replay.events.size() == 7) replay.r.Close();
  };
  replay.r.SetFileName(replay.file("a.log", joined({rmc(100000), gga(1), rmc(100002)}, "\r\n")));
  replay.r.Open();
  // The last burst is followed by Delay, then the first comes again.
  EXPECT_EQ(replay.events, (Events{"connect a.log", "receive@0", "receive@0 RMC100000 GGA1",
                                   "receive@2000 RMC100002", "receive@2300 RMC100000 GGA1",
                                   "receive@4300 RMC100002", "receive@4600 RMC100000 GGA1",
                                   "disconnect@6600 a.log"}));

  // A log being rewritten is empty for a moment: the loop reads it again at
  // the Delay's pace, each time anew, until it has content again.
  Replay rewritten;
  rewritten.r.SetDelay(300);
  rewritten.r.setLoop(true);
  const std::string log = rewritten.file("b.log", "");
  rewritten.r.processEvents = [&] {
    if (rewritten.clock->elapsedMs() >= 1000 && rewritten.events.size() == 1) {
      waymock::test::writeFile(log, joined({rmc(1), rmc(2)}, "\r\n"));
    }
  };
  rewritten.r.OnReceive = [&rewritten](TTarnCustomGPSReceiver&) {
    rewritten.events.push_back(rewritten.received());
    if (rewritten.events.size() == 4) rewritten.r.Close();
  };
  rewritten.r.SetFileName(log);
  rewritten.r.Open();
  EXPECT_EQ(rewritten.events, (Events{"connect b.log", "receive@1200", "receive@1500 RMC1",
                                      "receive@1800 RMC2", "disconnect@2100 b.log"}));
}

// TCP clients may take every descriptor the process has: a loop then reads the
// log it holds open again instead of failing to open it anew.
TEST(FileReplay, LoopReadsTheOpenLogAgainWhenNoDescriptorIsLeft) {
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = 256;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> taken;
  const auto release = [&taken] {
    for (const int fd : taken) ::close(fd);
    taken.clear();
  };
  Replay replay;
  replay.r.SetNMEALog(false);
  replay.r.SetDelay(0);
  replay.r.setLoop(true);
  replay.r.OnReceive = [&](TTarnCustomGPSReceiver&) {
    replay.events.push_back("receive");
    if (replay.events.size() == 2) {
      for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) taken.push_back(fd);
    }
    if (replay.events.size() == 6) replay.r.Close();
  };
  replay.r.SetFileName(replay.file("a.log", joined({rmc(1), rmc(2)}, "\r\n")));
  EXPECT_NO_THROW(replay.r.Open());
  release();
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(replay.events.size(), 7u);
  EXPECT_EQ(replay.events.back(), "disconnect@0 a.log");
}

}  // namespace
}  // namespace waymock::receiver
