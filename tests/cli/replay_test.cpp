#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/test_support.h"
#include "receiver/receiver_test_support.h"

namespace waymock {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::cliPath;
using test::runProcess;

// Each burst of an echoed log is followed by an empty line.
std::vector<std::string> bursts(const std::string& log) {
  std::vector<std::string> out;
  std::size_t at = 0;
  for (std::size_t end; (end = log.find("\r\n\r\n", at)) != std::string::npos; at = end + 4) {
    out.push_back(log.substr(at, end + 2 - at));
  }
  EXPECT_EQ(at, log.size()) << "log does not end with an empty line";
  return out;
}

std::vector<std::string> fields(const std::string& burst, const std::string& type) {
  const auto at = burst.find(type + ",");
  if (at == std::string::npos) return {};
  std::string sentence = burst.substr(at, burst.find('*', at) - at);
  std::vector<std::string> out;
  for (std::size_t begin = 0, comma;; begin = comma + 1) {
    comma = sentence.find(',', begin);
    out.push_back(sentence.substr(begin, comma - begin));
    if (comma == std::string::npos) return out;
  }
}

std::vector<std::string> range(const std::vector<std::string>& v, std::size_t from,
                               std::size_t count) {
  if (v.size() < from + count) return {};
  return {v.begin() + static_cast<std::ptrdiff_t>(from),
          v.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

std::string sentence(const std::string& body) {
  unsigned sum = 0;
  for (std::size_t i = 1; i < body.size(); ++i) sum ^= static_cast<unsigned char>(body[i]);
  char hex[8];
  std::snprintf(hex, sizeof hex, "*%02X\r\n", sum);
  return body + hex;
}

TEST(CliReplay, ResendsTheRecordedPositions) {
  test::TempDir dir;
  const auto recorded =
      runProcess({cliPath(), "run", "--utc", "2024-03-23T12:35:19Z", "--lat", "48:07:02.28N",
                  "--lon", "011:31:00E", "--count", "5", "--interval", "0.01", "--lat-step", "10",
                  "--lon-step", "-7", "--virtual=" + (dir / "run-port").string()});
  ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
  test::writeFile(dir / "drive.log", recorded.out);
  const auto sent = bursts(recorded.out);
  ASSERT_EQ(sent.size(), 5u);

  const auto replayed = runProcess({cliPath(), "replay", (dir / "drive.log").string(), "--delay",
                                    "0", "--virtual=" + (dir / "replay-port").string()});
  ASSERT_EQ(replayed.exitCode, 0) << replayed.err;
  // Each delivery ends with the head of the next recorded burst, whose
  // position it re-sends; the RMC, GSA and GSV of the last one are never sent.
  const auto echoed = bursts(replayed.out);
  ASSERT_EQ(echoed.size(), 5u);
  for (std::size_t i = 0; i < echoed.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(range(fields(echoed[i], "$GPGGA"), 2, 4), range(fields(sent[i], "$GPGGA"), 2, 4));
    EXPECT_EQ(range(fields(echoed[i], "$GPRMC"), 3, 4), range(fields(sent[i], "$GPRMC"), 3, 4));
  }
  EXPECT_NE(range(fields(sent[0], "$GPGGA"), 2, 4), range(fields(sent[1], "$GPGGA"), 2, 4));
  EXPECT_EQ(range(fields(sent[0], "$GPGGA"), 2, 4),
            (std::vector<std::string>{"4807.0380", "N", "01131.0000", "E"}));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "replay-port")));
}

TEST(CliReplay, SendsEachReplayedBurstByUdp) {
  test::UdpReceiver listener;
  test::TempDir dir;
  const std::string rmc = sentence("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,");
  test::writeFile(dir / "a.log", rmc + rmc + rmc);
  const auto r = runProcess({cliPath(), "replay", (dir / "a.log").string(), "--delay", "0",
                             "--virtual=" + (dir / "port").string(), "--udp",
                             "127.0.0.1:" + std::to_string(listener.port())});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const auto echoed = bursts(r.out);
  std::vector<std::string> datagrams;
  while (auto datagram = listener.receive(200)) datagrams.push_back(*datagram);
  ASSERT_EQ(datagrams.size(), 3u);
  ASSERT_EQ(echoed.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(range(fields(datagrams[i], "$GPGGA"), 2, 4),
              range(fields(echoed[i], "$GPGGA"), 2, 4));
  }
  EXPECT_EQ(range(fields(datagrams[1], "$GPGGA"), 2, 4),
            (std::vector<std::string>{"4807.0380", "N", "01131.0000", "E"}));
}

// A real receiver's log: an SBAS satellite (PRN 46) and a placeholder position
// written while it had no fix. The satellite is left out, the burst with the
// placeholder is not sent, and the replay goes on to the end.
TEST(CliReplay, SkipsWhatTheSimulatorCannotSendAndGoesOn) {
  test::TempDir dir;
  auto rmc = [](const char* latitude) {
    return sentence(std::string("$GPRMC,123519,A,") + latitude +
                    ",N,01131.000,E,022.4,084.4,230394,,");
  };
  test::writeFile(dir / "real.log", rmc("4807.038") + rmc("36000.0000") +
                                        sentence("$GPGSV,1,1,02,46,40,083,46,05,10,20,30") +
                                        rmc("4808.038") + rmc("4809.038") + rmc("4810.038"));
  const auto r = runProcess({cliPath(), "replay", (dir / "real.log").string(), "--delay", "0",
                             "--virtual=" + (dir / "port").string()});
  EXPECT_EQ(r.exitCode, 0);
  // Once, after what the port options say.
  const std::string said =
      "waymock-cli: Skipped a burst the simulator cannot send (Latitude_Degree 360): "
      "Latitude Degree must be between 0 and 90.\n"
      "waymock-cli: Skipped 1 of 5 bursts.\n";
  EXPECT_TRUE(r.err.ends_with(said)) << r.err;
  EXPECT_EQ(r.err.find("Skipped a burst"), r.err.rfind("Skipped a burst"));
  const auto sent = bursts(r.out);
  ASSERT_EQ(sent.size(), 4u);  // the fix before the first RMC line, then three
  EXPECT_EQ(range(fields(sent[2], "$GPRMC"), 3, 2), (std::vector<std::string>{"4808.0380", "N"}));
  EXPECT_EQ(range(fields(sent[3], "$GPGSV"), 0, 8),
            (std::vector<std::string>{"$GPGSV", "1", "1", "1", "5", "10", "20", "30"}));
}

TEST(CliReplay, PacedLoopReplaysTheLogAgainAtItsOwnPace) {
  test::TempDir dir;
  auto rmc = [](const char* time, const char* latitude) {
    return sentence(std::string("$GPRMC,") + time + ",A," + latitude +
                    ",N,01131.000,E,022.4,084.4,230394,,");
  };
  test::writeFile(dir / "a.log", rmc("100000", "4807.038") + rmc("100001", "4808.038") +
                                     rmc("100002", "4809.038"));
  test::BackgroundProcess replay({cliPath(), "replay", (dir / "a.log").string(), "--paced",
                                  "--rate", "100", "--loop", "--delay", "10",
                                  "--virtual=" + (dir / "port").string()});
  const auto count = [](const std::string& out) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = out.find("\r\n\r\n", at)) != std::string::npos; at += 4) ++n;
    return n;
  };
  ASSERT_TRUE(replay.waitForOutput([&](const std::string& out) { return count(out) >= 8; }, 10s))
      << replay.err();
  EXPECT_EQ(replay.stop(), 0);
  // After the fix before the first RMC line: the log, and the log again.
  const auto echoed = bursts(replay.out());
  ASSERT_GE(echoed.size(), 8u);
  const char* expected[] = {"4807.0380", "4808.0380", "4809.0380", "4807.0380",
                            "4808.0380", "4809.0380", "4807.0380"};
  for (std::size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(range(fields(echoed[i + 1], "$GPRMC"), 3, 1), std::vector<std::string>{expected[i]});
  }

  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // the whole of standard error when not empty
  } const cases[] = {
      {{"--rate", "10"}, 2, ""},
      {{"--paced", "--rate", "0"},
       2,
       "waymock-cli: --rate: \"0\" is out of range; it must be from 0.01 to 1000.\nRun with "
       "--help for more information.\n"},
      {{"--paced", "--rate", "fast"}, 2, "waymock-cli: --rate: \"fast\" is not a number.\n"},
      // The factor's old name still works for a release, and says so.
      {{"--paced", "--speed", "1000", "--quiet"},
       0,
       "waymock-cli: replay --speed is now --rate; --speed goes in the next release.\n"
       "waymock-cli: clients read the simulated receiver at "},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {cliPath(), "replay", (dir / "a.log").string(),
                                     "--virtual=" + (dir / "port").string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = runProcess(args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    if (!c.err.empty()) {
      EXPECT_TRUE(r.err.starts_with(c.err)) << r.err;
    }
    EXPECT_EQ(r.out, "");
  }
}

// A log without NMEA replays nothing, looped or not, and says so.
TEST(CliReplay, ALogWithoutNmeaIsAClearError) {
  test::TempDir dir;
  test::writeFile(dir / "notes.txt", "Drive to the lake\r\nThen home\r\n");
  test::writeFile(dir / "broken.log", "$GPRMC,1*00\r\n$GPGGA,2*00\r\n$GPRMC,3*00\r\n");
  const std::string what = "waymock-cli: The log file ";
  const std::pair<std::string, std::string> cases[] = {
      {"notes.txt", " holds no NMEA to replay: it has no $GPRMC line, which begins each burst.\n"},
      {"broken.log",
       " holds no NMEA to replay: no line before its last $GPRMC line is a $GP sentence with a "
       "valid checksum.\n"},
  };
  for (const auto& [file, why] : cases) {
    for (const char* mode : {"--quiet", "--loop"}) {
      const auto r = runProcess({cliPath(), "replay", (dir / file).string(), mode, "--delay", "0",
                                 "--virtual=" + (dir / "port").string()},
                                {}, 10s);
      EXPECT_EQ(r.exitCode, 1) << file << " " << mode;
      EXPECT_TRUE(r.err.ends_with(what + (dir / file).string() + why)) << r.err;
    }
  }
  // A log of one burst has NMEA all the same: looped, its burst is sent.
  test::writeFile(dir / "one.log",
                  sentence("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,"));
  test::BackgroundProcess loop({cliPath(), "replay", (dir / "one.log").string(), "--loop",
                                "--delay", "0", "--virtual=" + (dir / "port").string()});
  EXPECT_TRUE(loop.waitForOutput(
      [](const std::string& out) { return out.find(",4807.0380,N,") != std::string::npos; }, 10s))
      << loop.err();
  EXPECT_EQ(loop.stop(), 0) << loop.err();
}

// A multi-constellation receiver's log (GN, GL, GA, GB talkers) holds no
// burst the classic receiver reads; --modern replays it, its GPS satellites
// going out with the next burst.
TEST(CliReplay, AModernReceiversLogReplaysWithModern) {
  test::TempDir dir;
  const auto log = dir / "drive.nmea";
  test::writeFile(log, receiver::test::nmea411Log());
  const auto classic = runProcess(
      {cliPath(), "replay", log.string(), "--delay", "0", "--virtual=" + (dir / "port").string()},
      {}, 10s);
  EXPECT_EQ(classic.exitCode, 1);
  EXPECT_EQ(classic.out, "");
  EXPECT_TRUE(classic.err.ends_with("waymock-cli: The log file " + log.string() +
                                    " holds no NMEA to replay: it has no $GPRMC line, which "
                                    "begins each burst.\n"))
      << classic.err;

  const auto modern = runProcess({cliPath(), "replay", "--modern", log.string(), "--delay", "0",
                                  "--virtual=" + (dir / "port").string()},
                                 {}, 10s);
  ASSERT_EQ(modern.exitCode, 0) << modern.err;
  const auto echoed = bursts(modern.out);
  ASSERT_EQ(echoed.size(), 3u);  // the empty head before the first RMC, then two fixes
  EXPECT_EQ(range(fields(echoed[1], "$GPGGA"), 2, 4),
            (std::vector<std::string>{"4807.0380", "N", "01131.0000", "E"}));
  EXPECT_EQ(range(fields(echoed[2], "$GPRMC"), 3, 4),
            (std::vector<std::string>{"4807.0547", "N", "01131.0000", "E"}));
  EXPECT_EQ(range(fields(echoed[2], "$GPGSV"), 3, 4),
            (std::vector<std::string>{"5", "3", "45", "120"}));
  // In the nmea41 profile every constellation's satellites of the log go out
  // again, GPS 03 with its L1 signal's SNR (40, not L5's 38).
  const auto whole =
      runProcess({cliPath(), "replay", "--modern", "--profile", "nmea41", log.string(), "--delay",
                  "0", "--virtual=" + (dir / "port").string()},
                 {}, 10s);
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  const std::string last = bursts(whole.out).at(2);
  for (const char* sent : {"$GPGSV,2,1,05,03,45,120,40,07,20,300,35,12,60,045,44,19,15,210,09,1*",
                           "$GLGSV,1,1,02,65,30,150,38,72,55,260,41,1*",
                           "$GAGSV,1,1,01,05,40,100,36,7*", "$GBGSV,1,1,01,11,25,330,33,1*"}) {
    EXPECT_NE(last.find(sent), std::string::npos) << sent << " in\n" << last;
  }
  // A log without NMEA says which lines it looked for.
  test::writeFile(dir / "notes.txt", "$GLRMC is not read\r\n");
  test::writeFile(dir / "broken.log", "$GNRMC,1*00\r\n$GLGSV,2*00\r\n$GNRMC,3*00\r\n");
  const std::pair<std::string, std::string> cases[] = {
      {"notes.txt", "it has no $GPRMC or $GNRMC line, which begins each burst.\n"},
      {"broken.log",
       "no line before its last RMC line is a $GP or $GN sentence or a $GL, $GA or $GB GSV with "
       "a valid checksum.\n"},
  };
  for (const auto& [file, why] : cases) {
    const auto none = runProcess({cliPath(), "replay", "--modern", (dir / file).string(), "--delay",
                                  "0", "--virtual=" + (dir / "port").string()},
                                 {}, 10s);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.ends_with(" holds no NMEA to replay: " + why)) << none.err;
  }
}

// What the simulator writes in the nmea41 profile (GN fix sentences, NMEA 4.11
// fields), saved, replays with --modern and re-sends the fix each burst
// carried; run and replay in a locale whose decimal separator is ",".
TEST(CliReplay, ASavedNmea41OutputReplaysItsFixesWithModern) {
  test::TempDir dir;
  test::writeFile(dir / "satellites.ini",
                  "[3]\r\nActive=1\r\nElevation=45\r\nAzimuth=120\r\nSNR=40\r\n"
                  "[7]\r\nActive=1\r\nElevation=20\r\nAzimuth=300\r\nSNR=35\r\n");
  const std::vector<std::string> locale = {std::string("LC_ALL=") + test::kDecimalCommaLocale};
  const auto recorded = runProcess({cliPath(),
                                    "run",
                                    "--profile",
                                    "nmea41",
                                    "--utc",
                                    "2024-03-23T12:35:19Z",
                                    "--lat",
                                    "48:07:02.28N",
                                    "--lon",
                                    "011:31:00E",
                                    "--alt",
                                    "545.4",
                                    "--speed-knots",
                                    "22.4",
                                    "--heading",
                                    "84.4",
                                    "--satellites",
                                    (dir / "satellites.ini").string(),
                                    "--count",
                                    "3",
                                    "--interval",
                                    "0.01",
                                    "--lat-step",
                                    "10",
                                    "--lon-step",
                                    "-7",
                                    "--virtual=" + (dir / "run-port").string()},
                                   {}, 10s, locale);
  ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
  const auto sent = bursts(recorded.out);
  ASSERT_EQ(sent.size(), 3u);
  ASSERT_EQ(fields(sent[0], "$GPRMC"), std::vector<std::string>{}) << sent[0];
  test::writeFile(dir / "drive.log", recorded.out);

  const auto replayed = runProcess({cliPath(), "replay", "--modern", (dir / "drive.log").string(),
                                    "--delay", "0", "--virtual=" + (dir / "replay-port").string()},
                                   {}, 10s, locale);
  ASSERT_EQ(replayed.exitCode, 0) << replayed.err;
  const auto echoed = bursts(replayed.out);
  ASSERT_EQ(echoed.size(), 3u);
  for (std::size_t i = 0; i < echoed.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(range(fields(echoed[i], "$GPGGA"), 2, 4), range(fields(sent[i], "$GNGGA"), 2, 4));
    EXPECT_EQ(range(fields(echoed[i], "$GPGGA"), 9, 1), range(fields(sent[i], "$GNGGA"), 9, 1));
    EXPECT_EQ(range(fields(echoed[i], "$GPRMC"), 3, 6), range(fields(sent[i], "$GNRMC"), 3, 6));
  }
  EXPECT_EQ(range(fields(echoed[2], "$GPRMC"), 3, 6),
            (std::vector<std::string>{"4807.3713", "N", "01130.7667", "E", "22.4", "84.4"}));
  EXPECT_EQ(range(fields(echoed[2], "$GPGGA"), 9, 1), std::vector<std::string>{"545.4"});
  // The recorded GPS satellites go out too.
  EXPECT_EQ(range(fields(echoed[2], "$GPGSV"), 4, 8),
            (std::vector<std::string>{"3", "45", "120", "40", "7", "20", "300", "35"}));
}

// Only a regular file is replayed: a FIFO without a writer or a terminal would
// hold the replay in a read that Ctrl-C cannot end.
TEST(CliReplay, AMissingFileOrOneThatIsNotARegularFileIsAClearError) {
  test::TempDir dir;
  const auto missing = (dir / "missing.log").string();
  const auto fifo = (dir / "fifo.log").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> cases[] = {
      {missing, "Cannot find the log file " + missing + "."},
      {fifo, "The log file " + fifo + " is not a regular file."},
      {dir.path().string(), "The log file " + dir.path().string() + " is not a regular file."},
      {"/dev/tty", "The log file /dev/tty is not a regular file."},
  };
  for (const auto& [file, message] : cases) {
    const auto r =
        runProcess({cliPath(), "replay", file, "--virtual=" + (dir / "port").string()}, {}, 10s);
    EXPECT_EQ(r.exitCode, 1) << file;
    EXPECT_EQ(r.err, "waymock-cli: " + message + "\n");
    EXPECT_TRUE(r.out.empty());
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "port")));
  const auto negative = runProcess({cliPath(), "replay", missing, "--delay", "-1"});
  EXPECT_EQ(negative.exitCode, 2);
}

// Starts `waymock-cli replay FILE ARGS...` with standard output in `out`,
// waits until `ready` holds, sends `signal`, and returns the exit code if the
// program ended within two seconds.
std::optional<int> stopBySignal(const std::vector<std::string>& args, const fs::path& out,
                                const std::function<bool()>& ready, int signal) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = ::open("/dev/null", O_WRONLY);
    dup2(fd, 1);
    dup2(null, 2);
    std::vector<char*> argv;
    const std::string cli = cliPath();
    argv.push_back(const_cast<char*>(cli.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(cli.c_str(), argv.data());
    _exit(127);
  }
  if (pid < 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!ready() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  const auto signalled = std::chrono::steady_clock::now();
  kill(pid, signal);
  std::optional<int> exitCode;
  while (!exitCode && std::chrono::steady_clock::now() < signalled + 2s) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } else {
      std::this_thread::sleep_for(5ms);
    }
  }
  if (!exitCode) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  return exitCode;
}

TEST(CliReplay, StopsPromptlyOnASignalDuringALongDelay) {
  test::TempDir dir;
  const std::string rmc = sentence("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,");
  test::writeFile(dir / "a.log", rmc + rmc + rmc);
  const auto out = dir / "stdout";
  const auto link = dir / "port";
  // The first burst comes at once, then the replay waits a minute.
  const auto exitCode = stopBySignal(
      {"replay", (dir / "a.log").string(), "--delay", "60000", "--virtual=" + link.string()}, out,
      [&] {
        return (fs::exists(out) ? test::readFile(out) : "").find("\r\n\r\n") != std::string::npos;
      },
      SIGTERM);
  ASSERT_EQ(exitCode, 0);
  EXPECT_EQ(bursts(test::readFile(out)).size(), 1u);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// A line that never ends (64 GiB of zero bytes, a sparse file) is read in
// bounded chunks, so Ctrl-C still ends the replay and the link goes away.
TEST(CliReplay, CtrlCEndsTheReplayOfALineWithoutAnEnd) {
  test::TempDir dir;
  const auto link = dir / "port";
  test::writeFile(dir / "zero", "");
  fs::resize_file(dir / "zero", std::uintmax_t{1} << 36);
  const auto exitCode = stopBySignal(
      {"replay", (dir / "zero").string(), "--delay", "0", "--virtual=" + link.string()},
      dir / "stdout", [&] { return fs::exists(fs::symlink_status(link)); }, SIGINT);
  ASSERT_EQ(exitCode, 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

}  // namespace
}  // namespace waymock
