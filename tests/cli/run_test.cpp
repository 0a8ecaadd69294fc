#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/test_support.h"
#include "receiver/receiver_test_support.h"

namespace waymock {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::cliPath;
using test::countOf;
using test::runProcess;

const std::vector<std::string> kFix = {
    "--utc", "2024-03-23T12:35:19Z", "--lat", "48:07:02.28N", "--lon", "011:31:00E"};

std::vector<std::string> runArgs(const std::vector<std::string>& args) {
  std::vector<std::string> all = {cliPath(), "run"};
  all.insert(all.end(), kFix.begin(), kFix.end());
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

// Bursts of a replayable log: each burst is followed by an empty line.
std::vector<std::string> splitLog(const std::string& log) {
  std::vector<std::string> bursts;
  std::size_t at = 0;
  for (std::size_t end; (end = log.find("\r\n\r\n", at)) != std::string::npos; at = end + 4) {
    bursts.push_back(log.substr(at, end + 2 - at));
  }
  EXPECT_EQ(at, log.size()) << "log does not end with an empty line";
  return bursts;
}

// waymock-cli running in the background while the test acts as a client;
// output goes to files so that nothing blocks it.
class Background {
 public:
  Background(const test::TempDir& dir, const std::vector<std::string>& args)
      : out_(dir / "stdout"), err_(dir / "stderr") {
    pid_ = fork();
    if (pid_ == 0) {
      const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, 1);
      dup2(err, 2);
      std::vector<char*> argv;
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Background() {
    if (pid_ > 0 && !exitCode_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  pid_t pid() const { return pid_; }
  // The exit status, -1 after a signal, nothing if still running after `timeout`.
  std::optional<int> wait(std::chrono::milliseconds timeout = 10s) {
    const auto deadline = Clock::now() + timeout;
    while (!exitCode_ && Clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      } else {
        std::this_thread::sleep_for(5ms);
      }
    }
    return exitCode_;
  }
  std::string out() const { return fs::exists(out_) ? test::readFile(out_) : ""; }
  std::string err() const { return fs::exists(err_) ? test::readFile(err_) : ""; }

 private:
  fs::path out_, err_;
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) {
  const auto deadline = Clock::now() + timeout;
  while (!condition()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

std::string readFor(int fd, std::size_t bursts, std::chrono::milliseconds timeout) {
  std::string got;
  const auto deadline = Clock::now() + timeout;
  auto complete = [&] {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = got.find("$GPZDA", at)) != std::string::npos; ++at) ++n;
    return n > bursts;  // the start of the next one closes the last
  };
  while (!complete() && Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
  }
  return got;
}

TEST(CliRun, ClientReadsTheVirtualPortWhileItRuns) {
  test::TempDir dir;
  const auto link = dir / "gps";
  Background run(dir, runArgs({"--virtual=" + link.string(), "--count", "6", "--interval", "0.1",
                               "--lat-step", "2"}));
  ASSERT_TRUE(waitFor([&] { return fs::is_symlink(link); })) << run.err();
  const int client = ::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(client, 0);
  const std::string received = readFor(client, 2, 3s);
  ::close(client);
  ASSERT_EQ(run.wait(), 0) << run.err();
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

  const auto echoed = splitLog(run.out());
  ASSERT_EQ(echoed.size(), 6u);
  // Every tick moved the fix; what the client read are bursts that were echoed.
  EXPECT_NE(echoed[0], echoed[1]);
  int matched = 0;
  for (const auto& b : echoed) matched += received.find(b) != std::string::npos;
  EXPECT_GE(matched, 2) << received;
  EXPECT_NE(run.err().find(link.string()), std::string::npos);
}

// A run killed outright leaves its link behind, naming a pseudo-terminal the
// next run is likely to get again; that run takes the path over. A run that
// is still alive keeps its link and its clients.
TEST(CliRun, TakesOverTheLinkOfAKilledRunButNotOfALiveOne) {
  test::TempDir dir, killedLogs, logs;
  const auto link = dir / "gps";
  {
    Background killed(killedLogs, runArgs({"--virtual=" + link.string(), "--interval", "30"}));
    ASSERT_TRUE(waitFor([&] { return killed.out().find("\r\n\r\n") != std::string::npos; }));
    kill(killed.pid(), SIGKILL);
    EXPECT_EQ(killed.wait(), -1);
  }
  ASSERT_TRUE(fs::is_symlink(link));
  Background run(logs, runArgs({"--virtual=" + link.string(), "--interval", "0.05"}));
  ASSERT_TRUE(waitFor([&] { return run.err().find("clients read") != std::string::npos; }))
      << run.err();
  const int client = ::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(client, 0);
  EXPECT_NE(readFor(client, 1, 3s).find("$GPGGA,"), std::string::npos);

  const std::string device = fs::read_symlink(link).string();
  const auto second = runProcess(
      runArgs({"--virtual=" + link.string(), "--count", "1", "--interval", "0.01"}), {}, 10s);
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.err, "waymock-cli: Cannot create the virtual serial port " + link.string() +
                            ": it links to the pseudo-terminal " + device + ", which is in use.\n");
  EXPECT_EQ(fs::read_symlink(link), device);
  EXPECT_NE(readFor(client, 1, 3s).find("$GPGGA,"), std::string::npos);
  ::close(client);
}

TEST(CliRun, KeepsItsPaceWithNoClient) {
  test::TempDir dir;
  const auto start = Clock::now();
  const auto r = runProcess(runArgs({"--virtual=" + (dir / "gps").string(), "--count", "10",
                                     "--interval", "0.02", "--move-satellites"}),
                            {}, 10s);
  const auto elapsed = Clock::now() - start;
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const auto bursts = splitLog(r.out);
  ASSERT_EQ(bursts.size(), 10u);
  // The first latitude is the start position, the next one second further on.
  EXPECT_NE(bursts[0].find("4807.0380,N"), std::string::npos);
  EXPECT_NE(bursts[1].find("4807.0547,N"), std::string::npos);
  EXPECT_GE(elapsed, 180ms);  // nine waits between ten ticks
  EXPECT_LT(elapsed, 5s);
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "gps")));
}

// Rates of the window's list and the faster ones of current receivers.
TEST(CliRun, WritesToASerialDevice) {
  for (const char* baud : {"9600", "230400", "921600"}) {
    SCOPED_TRACE(baud);
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    const auto r = runProcess(
        runArgs({"--port", name, "--baud", baud, "--count", "2", "--interval", "0.01"}), {}, 10s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto bursts = splitLog(r.out);
    ASSERT_EQ(bursts.size(), 2u);
    fcntl(master, F_SETFL, O_NONBLOCK);
    EXPECT_EQ(readFor(master, 1, 1s), bursts[0] + bursts[1]);
    ::close(master);
    ::close(slave);
  }
}

// The window's satellites for this user, unless the command line says otherwise.
TEST(CliRun, UsesTheUsersSatelliteFileUnlessToldOtherwise) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "data/waymock");
  test::writeFile(dir / "data/waymock/satellites.ini",
                  "[7]\r\nActive=1\r\nElevation=20\r\nAzimuth=300\r\nSNR=35\r\n");
  test::writeFile(dir / "other.ini", "[9]\r\nActive=1\r\nElevation=10\r\nAzimuth=90\r\nSNR=30\r\n");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "$GPGSV,1,1,1,7,20,300,35*"},
      {{"--satellites", (dir / "other.ini").string()}, "$GPGSV,1,1,1,9,10,90,30*"},
      {{"--no-satellites"}, ""},
  };
  for (const auto& [args, gsv] : cases) {
    std::vector<std::string> command = {"/usr/bin/env",
                                        "XDG_DATA_HOME=" + (dir / "data").string(),
                                        cliPath(),
                                        "run",
                                        "--virtual=" + (dir / "gps").string(),
                                        "-c1",
                                        "--sentences",
                                        "GPGGA,GPGSV"};
    command.insert(command.end(), args.begin(), args.end());
    const auto r = runProcess(command, {}, 10s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto at = r.out.find("$GPGSV");
    EXPECT_EQ(at == std::string::npos ? "" : r.out.substr(at, gsv.size()), gsv) << r.out;
  }
}

TEST(CliRun, SendsEachBurstByUdp) {
  test::TempDir dir;
  test::UdpReceiver receiver;
  const auto r = runProcess(runArgs({"--virtual=" + (dir / "gps").string(), "--udp",
                                     "127.0.0.1:" + std::to_string(receiver.port()), "--count", "3",
                                     "--interval", "0.01"}),
                            {}, 10s);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const auto bursts = splitLog(r.out);
  ASSERT_EQ(bursts.size(), 3u);
  for (const auto& b : bursts) EXPECT_EQ(receiver.receive(), b);
}

TEST(CliRun, UnresolvableUdpHostsDoNotStopTheRunAndAreNamedOnceEach) {
  test::TempDir dir;
  const auto r = runProcess(
      runArgs({"--virtual=" + (dir / "gps").string(), "--udp", "no-such-host.invalid:10110",
               "--udp", "other-host.invalid:10111", "--count", "3", "--interval", "0.01"}),
      {}, 10s);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(splitLog(r.out).size(), 3u);
  // Said once per target, not once per tick.
  for (const char* target : {"no-such-host.invalid:10110", "other-host.invalid:10111"}) {
    const std::string line = std::string("waymock-cli: UDP ") + target + ": ";
    EXPECT_EQ(countOf(r.err, line), 1u) << r.err;
  }
  EXPECT_EQ(countOf(r.err, " The run goes on; further errors of this target are not shown.\n"), 2u)
      << r.err;
}

// The time fields of every sentence that carries one, as "hhmmss.sss".
std::vector<std::string> timeFields(const std::string& text) {
  static const std::regex time(R"(\$GP(?:ZDA|GGA|RMC),(\d{6}\.\d{3}),)");
  std::vector<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), time), end; it != end; ++it) {
    found.push_back((*it)[1]);
  }
  return found;
}

int secondOfDay(const std::string& time) {
  return std::stoi(time.substr(0, 2)) * 3600 + std::stoi(time.substr(2, 2)) * 60 +
         std::stoi(time.substr(4, 2));
}

// On the second, a client of the virtual port reads bursts stamped with whole
// seconds, one second apart, every sentence of a burst with the same time.
TEST(CliRun, TicksOnTheSecondCarryTheirEpoch) {
  test::TempDir dir;
  const auto link = dir / "gps";
  Background run(dir, {cliPath(), "run", "--virtual=" + link.string(), "--tick", "on-second",
                       "--count", "4", "--no-satellites"});
  ASSERT_TRUE(waitFor([&] { return fs::is_symlink(link); })) << run.err();
  const int client = ::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(client, 0);
  const std::string received = readFor(client, 2, 10s);
  ::close(client);
  ASSERT_EQ(run.wait(), 0) << run.err();

  for (const std::string& text : {received, run.out()}) {
    const auto times = timeFields(text);
    ASSERT_GE(times.size(), 6u) << text;
    int seconds = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
      EXPECT_EQ(times[i].substr(6), ".000") << text;
      if (i == 0) continue;
      // The sentences of one burst, then the next second.
      const int step = secondOfDay(times[i]) - secondOfDay(times[i - 1]);
      EXPECT_TRUE(step == 0 || step == 1) << text;
      seconds += step;
    }
    EXPECT_GE(seconds, 1) << text;
  }
  const auto bursts = splitLog(run.out());
  ASSERT_EQ(bursts.size(), 4u);
  EXPECT_EQ(secondOfDay(timeFields(bursts[3])[0]) - secondOfDay(timeFields(bursts[0])[0]), 3);
}

// A run held up (here stopped, as a busy machine would) skips the ticks it
// missed instead of sending them in a bunch, says so once, and counts them.
TEST(CliRun, LateTicksOnTheSecondAreSkippedAndCounted) {
  test::TempDir dir;
  Background run(dir, {cliPath(), "run", "--virtual=" + (dir / "gps").string(), "--tick",
                       "on-second", "--interval", "0.1", "--count", "4", "--sentences", "GPZDA"});
  ASSERT_TRUE(waitFor([&] { return run.out().find("\r\n\r\n") != std::string::npos; }, 10s));
  kill(run.pid(), SIGSTOP);
  std::this_thread::sleep_for(1s);
  kill(run.pid(), SIGCONT);
  ASSERT_EQ(run.wait(), 0) << run.err();
  const auto times = timeFields(run.out());
  ASSERT_EQ(times.size(), 4u) << run.out();
  // Tenths on the grid, never two alike, and a gap where ticks were skipped.
  const auto ms = [](const std::string& time) {
    return secondOfDay(time) * 1000 + std::stoi(time.substr(7));
  };
  int widest = 0;
  for (std::size_t i = 1; i < times.size(); ++i) {
    const int step = ms(times[i]) - ms(times[i - 1]);
    EXPECT_EQ(step % 100, 0) << run.out();
    EXPECT_GE(step, 100) << run.out();
    widest = std::max(widest, step);
  }
  EXPECT_GE(widest, 500) << run.out();
  const std::regex said(
      "waymock-cli: clients read the simulated receiver at [^\n]*\n"
      "waymock-cli: A tick came too late to be sent on time and was skipped; late ticks are "
      "skipped, not sent in a bunch[.]\n"
      "waymock-cli: Skipped ([0-9]+) late ticks[.]\n");
  const std::string err = run.err();
  std::smatch match;
  ASSERT_TRUE(std::regex_match(err, match, said)) << err;
  EXPECT_GE(std::stoi(match[1]), 5);
}

TEST(CliRun, StopsPromptlyAndCleanlyOnASignal) {
  for (const int signal : {SIGTERM, SIGINT}) {
    test::TempDir dir;
    const auto link = dir / "gps";
    Background run(dir, runArgs({"--virtual=" + link.string(), "--interval", "30"}));
    ASSERT_TRUE(waitFor([&] { return run.out().find("\r\n\r\n") != std::string::npos; }));
    const auto start = Clock::now();
    kill(run.pid(), signal);
    EXPECT_EQ(run.wait(), 0) << run.err();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_EQ(splitLog(run.out()).size(), 1u);
  }
}

TEST(CliRun, WritesTheOutputFormatAsked) {
  test::TempDir dir;
  const auto r =
      runProcess(runArgs({"--virtual=" + (dir / "gps").string(), "--count", "1", "--no-satellites",
                          "--profile", "nmea41", "--constellations", "galileo", "--talker", "GN"}),
                 {}, 10s);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("$GNZDA,123519.000,23,03,2024,00,00*43\r\n")) << r.out;
  EXPECT_EQ(countOf(r.out, "$GNGSA,"), 1u) << r.out;
  EXPECT_EQ(countOf(r.out, "$GP"), 0u) << r.out;
}

TEST(CliRun, RefusesWhatItCannotUse) {
  test::TempDir dir;
  test::writeFile(dir / "file", "keep me");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // the whole of standard error when not empty
  } const cases[] = {
      {{"--port", (dir / "ttyNone").string()},
       1,
       "waymock-cli: Cannot connect to " + (dir / "ttyNone").string() +
           ". There is no such device.\n"},
      {{"--virtual=" + (dir / "file").string()},
       1,
       "waymock-cli: Cannot create the virtual serial port " + (dir / "file").string() +
           ": the path exists and is not a symbolic link.\n"},
      {{"--lat", "48:07", "--virtual=" + (dir / "gps").string()},
       2,
       "waymock-cli: --lat: \"48:07\" is not DEG:MIN:SEC followed by N or S (48:07:02.28N) or "
       "decimal degrees, north positive (-33.5 is 33.5 S).\n"},
      {{"--heading", "400", "--virtual=" + (dir / "gps").string()},
       2,
       "waymock-cli: --heading: \"400\" is out of range; it must be at least 0 and less than "
       "360.\nRun with --help for more information.\n"},
      {{"--tick", "on-second", "--interval", "1e-9"},
       2,
       "waymock-cli: --interval must be from 0.001 (the time fields carry milliseconds) to 604800 "
       "seconds.\n"},
      {{"--lat-step", "60"}, 2, "waymock-cli: --lat-step must be between -59.99 and 59.99.\n"},
      {{"--count", "0"}, 2, "waymock-cli: --count must be at least 1.\n"},
      {{"--udp", "127.0.0.1"},
       2,
       "waymock-cli: --udp: \"127.0.0.1\" is not HOST:PORT with a port from 1 to 65535.\n"},
      {{"--udp", "127.0.0.1:70000"},
       2,
       "waymock-cli: --udp: \"127.0.0.1:70000\" is not HOST:PORT with a port from 1 to 65535.\n"},
      {{"--baud", "12345"}, 2, ""},
      {{"--port", "/dev/null", "--virtual=" + (dir / "gps").string()}, 2, ""},
      // Not a terminal: it would swallow every burst.
      {{"--port", "/dev/null"},
       1,
       "waymock-cli: Cannot connect to /dev/null. It is not a terminal, so it is not a serial "
       "port.\n"},
      // Another run's port, or a link of the user's.
      {{"--virtual=" + (dir / "mine").string()},
       1,
       "waymock-cli: Cannot create the virtual serial port " + (dir / "mine").string() +
           ": it is a symbolic link to " + (dir / "file").string() + ", which exists.\n"},
      // An empty burst is never sent, so the run would never end.
      {{"--sentences", "", "--virtual=" + (dir / "gps").string()},
       2,
       "waymock-cli: --sentences: the list is empty; name at least one of GPZDA, GPGGA, GPGLL, "
       "GPVTG, GPRMC, GPGSA, GPGSV.\n"},
      {{"--virtual=", "--move-satellites"},
       2,
       "waymock-cli: --virtual: must not be empty\nRun with --help for more information.\n"},
      {{"--satellites", (dir / "file").string(), "--no-satellites"}, 2, ""},
      {{"--tick-phase", "20", "--virtual=" + (dir / "gps").string()},
       2,
       "waymock-cli: --tick-phase applies only with --tick on-second.\n"},
      {{"--tick", "second"},
       2,
       "waymock-cli: --tick: \"second\" is not a way to tick; use interval or on-second.\nRun "
       "with --help for more information.\n"},
      {{"--tick", "on-second", "--tick-phase", "1000"},
       2,
       "waymock-cli: --tick-phase: \"1000\" is out of range; it must be at least 0 and less than "
       "1000.\nRun with --help for more information.\n"},
      {{"--port", ""}, 2, ""},
      {{"--constellations", ""},
       2,
       "waymock-cli: --constellations: an empty name is no satellite system; list some of gps, "
       "glonass, galileo and beidou, comma-separated\nRun with --help for more information.\n"},
      {{"--move", "speed-heading", "--noise", "1", "--seed", "-1"},
       2,
       "waymock-cli: --seed: \"-1\" is not a whole number from 0 to 18446744073709551615\nRun "
       "with --help for more information.\n"},
      {{"--utc", "9999-12-31T23:59:59.9999999Z", "--virtual=" + (dir / "gps").string()},
       2,
       "waymock-cli: --utc: \"9999-12-31T23:59:59.9999999Z\" is later than "
       "9999-12-31T23:59:59.999Z, the last time the sentences can carry.\n"},
  };
  fs::create_symlink(dir / "file", dir / "mine");
  for (const auto& c : cases) {
    // Given last, the case's own options win over these.
    std::vector<std::string> args = {"--count", "1", "--interval", "0.01"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = runProcess(runArgs(args), {}, 10s);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args[1] << ": " << r.err;
    if (!c.err.empty()) {
      EXPECT_EQ(r.err, c.err);
    }
    EXPECT_NE(r.err, "");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(test::readFile(dir / "file"), "keep me");
  EXPECT_EQ(fs::read_symlink(dir / "mine"), dir / "file");
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "gps")));
}

// Standard output a pipe whose reader stalls (`| less`): the echo leaves out
// what it cannot write at once and says so once, the TCP client goes on
// receiving, and a stop signal is a clean stop, never "Cannot write".
TEST(CliEcho, AStandardOutputNobodyReadsHoldsUpNothingAndAStopIsClean) {
  test::TempDir dir;
  std::string log;
  for (const char* time : {"100000", "100001"}) {
    log += receiver::test::line(std::string("$GPRMC,") + time +
                                ",A,4807.038,N,01131.000,E,022.4,084.4,230394,,");
  }
  test::writeFile(dir / "a.log", log);
  const std::vector<std::string> network = {"--virtual=" + (dir / "gps").string(), "--tcp", "0"};
  std::vector<std::string> run = runArgs({"--interval", "0.002"});
  std::vector<std::string> replay = {cliPath(), "replay",  (dir / "a.log").string(),
                                     "--loop",  "--delay", "0"};
  const std::string said =
      "waymock-cli: Standard output is not being read; bursts it cannot take at once are left out "
      "of it.\n";
  for (auto [args, signal] : {std::pair{run, SIGTERM}, std::pair{replay, SIGINT}}) {
    SCOPED_TRACE(args[1]);
    args.insert(args.end(), network.begin(), network.end());
    test::BackgroundProcess process(args);
    process.holdOutput(true);
    ASSERT_TRUE(waitFor([&] { return fs::is_symlink(dir / "gps"); })) << process.err();
    test::TcpClient client(test::tcpPortOf(process));
    EXPECT_TRUE(waitFor([&] { return process.err().find(said) != std::string::npos; }));
    const std::size_t before = countOf(client.received(), "$GPRMC");
    EXPECT_TRUE(client.readUntil(
        [&](const std::string& r) { return countOf(r, "$GPRMC") >= before + 20; }));
    kill(process.pid(), signal);
    EXPECT_EQ(process.waitForExit(5s), 0) << process.err();
    EXPECT_EQ(countOf(process.err(), said), 1u) << process.err();
  }
}

// Whole numbers are decimal, with or without leading zeros, as in the baud list.
TEST(CliRun, ReadsWholeNumbersAsDecimal) {
  test::TempDir dir;
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  const auto r = runProcess(
      runArgs({"--port", name, "--baud", "004800", "--count", "010", "--interval", "0.01"}), {},
      10s);
  ::close(master);
  ::close(slave);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(splitLog(r.out).size(), 10u);
  for (const auto& [option, value] :
       {std::pair{"--count", "0x10"}, {"--baud", "0x12C0"}, {"--count", "1e3"}}) {
    const auto refused = runProcess(
        runArgs({"--virtual=" + (dir / "gps").string(), "--interval", "0.01", option, value}), {},
        10s);
    EXPECT_EQ(refused.exitCode, 2) << option << " " << value;
    EXPECT_NE(
        refused.err.find(std::string(option) + ": \"" + value + "\" is not a decimal whole number"),
        std::string::npos)
        << refused.err;
  }
  const auto replay = runProcess({cliPath(), "replay", "--delay", "0x10", (dir / "none").string()});
  EXPECT_EQ(replay.exitCode, 2) << replay.err;
}

// Without --port, or with --virtual alone, the run uses the user's own default
// link and says where it is.
TEST(CliRun, UsesAndNamesTheUsersDefaultVirtualPort) {
  for (const std::vector<std::string>& given :
       {std::vector<std::string>{}, std::vector<std::string>{"--virtual"}}) {
    test::TempDir dir;
    std::vector<std::string> command = {"/usr/bin/env", "XDG_RUNTIME_DIR=" + dir.path().string(),
                                        cliPath(), "run"};
    command.insert(command.end(), given.begin(), given.end());
    command.insert(command.end(), {"--count", "1", "--interval", "0.01"});
    const auto r = runProcess(command, {}, 10s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string link = (dir / "waymock-gps").string();
    EXPECT_NE(r.err.find("using the virtual serial port at its default path " + link + "\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(splitLog(r.out).size(), 1u);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  }
}

}  // namespace
}  // namespace waymock
