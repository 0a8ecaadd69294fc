// A running `waymock-cli run --control` driven the way a test suite drives it:
// through the socket with the Python client and with `waymock-cli ctl`, its
// effect read on the virtual port as a receiver's reader would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace waymock::control_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using nlohmann::json;

const std::string kSatellites =
    "[3]\r\nActive=1\r\nElevation=45\r\nAzimuth=120\r\nSNR=40\r\n"
    "[7]\r\nActive=1\r\nElevation=20\r\nAzimuth=300\r\nSNR=35\r\n";

// The simulator with a virtual port and a control socket in a folder of its
// own, in a locale whose decimal separator is ",".
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& more) {
    test::writeFile(dir / "sats.ini", kSatellites);
    std::vector<std::string> args = {test::cliPath(),
                                     "run",
                                     "--virtual=" + port(),
                                     "--control=" + socket(),
                                     "--satellites",
                                     (dir / "sats.ini").string(),
                                     "-q"};
    args.insert(args.end(), more.begin(), more.end());
    test::EnvGuard locale("LC_ALL", test::kDecimalCommaLocale);
    process = std::make_unique<test::BackgroundProcess>(args);
    for (int i = 0; i < 2000 && !(fs::exists(socket()) && fs::is_symlink(port())); ++i) {
      std::this_thread::sleep_for(5ms);
    }
    reader = ::open(port().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  }
  ~Simulator() {
    if (reader >= 0) ::close(reader);
  }
  std::string port() const { return (dir / "gps").string(); }
  std::string socket() const { return (dir / "ctl.sock").string(); }

  // Reads the port until `done` holds for what came since the last call, or
  // the run ended, within a bound; returns what came.
  std::string readUntil(const std::function<bool(const std::string&)>& done,
                        std::chrono::milliseconds timeout = 10s) {
    std::string got;
    const auto deadline = Clock::now() + timeout;
    while (!done(got) && Clock::now() < deadline) {
      pollfd p{reader, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(reader, buffer, sizeof buffer);
      if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
    }
    return got;
  }
  // What waits on the port now, without waiting for more.
  std::string drain() {
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) {
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
  // Whole bursts from now on: what is buffered is read and left aside.
  void skipToNow() {
    readUntil([](const std::string& got) { return got.ends_with("\r\n") && got.size() > 0; }, 2s);
  }
  test::ProcessResult ctl(const std::vector<std::string>& words) {
    std::vector<std::string> args = {test::cliPath(), "ctl", "--socket", socket()};
    args.insert(args.end(), words.begin(), words.end());
    std::string locale = "LC_ALL=";
    locale += test::kDecimalCommaLocale;
    return test::runProcess(args, {}, 10s, {locale});
  }
  test::ProcessResult python(const std::string& script) {
    return test::runProcess({"/usr/bin/python3", "-c",
                             "import sys\nfrom waymock_control import Waymock, WaymockError\nsim = "
                             "Waymock(sys.argv[1])\n" +
                                 script,
                             socket()},
                            {}, 20s,
                            {"PYTHONPATH=" + std::string(WAYMOCK_SOURCE_DIR) + "/clients/python",
                             std::string("LC_ALL=") + test::kDecimalCommaLocale});
  }

  test::TempDir dir;
  std::unique_ptr<test::BackgroundProcess> process;
  int reader = -1;
};

// The sentences of a type in `text`, in order.
std::vector<std::string> sentencesOf(const std::string& text, const std::string& type) {
  std::vector<std::string> found;
  for (std::size_t at = 0; (at = text.find("$GP" + type, at)) != std::string::npos; ++at) {
    found.push_back(text.substr(at, text.find("\r\n", at) - at));
  }
  return found;
}

// After a reply: the bursts that began after what was waiting on the port
// and before the first that carries `what` (0: the next one, at the latest).
std::size_t burstsBefore(Simulator& sim, const std::string& what) {
  const std::string waiting = sim.drain();
  const std::string got = waiting + sim.readUntil([&](const std::string& g) {
    return (waiting + g).find(what) != std::string::npos;
  });
  const auto at = got.find(what);
  EXPECT_NE(at, std::string::npos) << "never came: " << what << "\n" << got;
  if (at == std::string::npos) return 99;
  const std::size_t before = sentencesOf(got.substr(0, at), "ZDA").size();
  const std::size_t waited = sentencesOf(waiting, "ZDA").size();
  return before > waited ? before - waited : 0;
}

TEST(ControlRun, PythonAndCtlChangeTheNextBurst) {
  Simulator sim(
      {"--interval", "0.1", "--lat", "10", "--lon", "20", "--lat-step", "0", "--lon-step", "0"});
  ASSERT_GE(sim.reader, 0) << sim.process->err();
  sim.skipToNow();

  // A burst may be on its way when the reply comes: the next one shows it.
  const auto set = sim.python("print(sim.set(lat=48.5, lon=-11.25, speed_kmh=40))");
  ASSERT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(set.out, "{'ok': True}\n");
  EXPECT_LE(burstsBefore(sim, "4830.0000,N,01115.0000,W"), 1u);

  const auto ctlSet = sim.ctl({"set", "--speed", "72", "--heading", "45.5", "--hdop", "2.5"});
  ASSERT_EQ(ctlSet.exitCode, 0) << ctlSet.err;
  EXPECT_EQ(ctlSet.out, "{\"ok\":true}\n");
  EXPECT_LE(burstsBefore(sim, ",38.86,45.5,"), 1u);  // knots in RMC

  const auto refused = sim.ctl({"set", "--lat", "91", "--lon", "0"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.out, "{\"error\":\"\\\"lat\\\" must be from -90 to 90.\",\"ok\":false}\n");
  const auto pyRefused =
      sim.python("try:\n  sim.fault('snow')\nexcept WaymockError as e:\n  print('refused:', e)");
  EXPECT_EQ(pyRefused.out.find("refused: Unknown fault type \"snow\"; the types are no-fix,"), 0u)
      << pyRefused.err;

  const auto fault = sim.ctl({"fault", "no-fix", "--bursts", "3"});
  ASSERT_EQ(fault.exitCode, 0) << fault.err;
  // Bursts sent before it may still wait on the port: up to the fix after the cut.
  const std::string during = sim.readUntil([](const std::string& g) {
    const auto cut = g.find(",,,,,0,00,");
    return cut != std::string::npos && g.find(",1,4,2.5,", cut) != std::string::npos;
  });
  EXPECT_EQ(sentencesOf(during, "RMC").size() >= 3, true) << during;
  std::size_t noFix = 0;
  for (const std::string& gga : sentencesOf(during, "GGA"))
    noFix += gga.find(",,,,,0,00,") != std::string::npos;
  EXPECT_EQ(noFix, 3u) << during;

  const json status = json::parse(sim.ctl({"status"}).out);
  EXPECT_EQ(status["fix"]["lat"], 48.5);
  EXPECT_EQ(status["fix"]["lon"], -11.25);
  EXPECT_EQ(status["fix"]["speed_kmh"], 72.0);
  EXPECT_EQ(status["state"], "running");
  EXPECT_GT(status["bursts"].get<int>(), 5);

  // Paused, no burst is counted between two looks; resumed, they come again.
  ASSERT_EQ(sim.ctl({"pause"}).exitCode, 0);
  const auto paused = sim.python(
      "import time\na = sim.status()\ntime.sleep(0.5)\nb = sim.status()\n"
      "print(a['state'], b['bursts'] - a['bursts'])");
  EXPECT_EQ(paused.out, "paused 0\n") << paused.err;
  ASSERT_EQ(sim.ctl({"resume"}).exitCode, 0);
  sim.skipToNow();
  EXPECT_LE(burstsBefore(sim, "$GPZDA"), 1u);

  // Stop and start: back to the start position.
  ASSERT_EQ(sim.ctl({"stop"}).exitCode, 0);
  EXPECT_EQ(json::parse(sim.ctl({"status"}).out)["state"], "stopped");
  ASSERT_EQ(sim.ctl({"start"}).exitCode, 0);
  EXPECT_LE(burstsBefore(sim, "1000.0000,N,02000.0000,E"), 1u);
  sim.process->stop();
}

// move from the shell and from Python: by speed and heading, then along a
// track at its own times, twice as fast.
TEST(ControlRun, MoveMakesTheFixTravel) {
  Simulator sim(
      {"--interval", "0.1", "--lat", "10", "--lon", "20", "--lat-step", "0", "--lon-step", "0"});
  ASSERT_GE(sim.reader, 0) << sim.process->err();
  sim.skipToNow();
  const auto move = sim.ctl({"move", "--speed", "36", "--heading", "90"});
  ASSERT_EQ(move.exitCode, 0) << move.err;
  EXPECT_LE(burstsBefore(sim, ",19.44,"), 1u);  // 10 m/s in knots of 1852 m
  const json moving = json::parse(sim.ctl({"status"}).out)["motion"];
  EXPECT_EQ(moving["model"], "moving") << moving;
  EXPECT_EQ(moving["course"], 90.0) << moving;
  // Numbers in the shortest form that reads back: 30 km/h as m/s and back is
  // 30, not 30.000000000000004.
  ASSERT_EQ(sim.ctl({"move", "--speed", "30", "--heading", "90"}).exitCode, 0);
  EXPECT_EQ(json::parse(sim.ctl({"status"}).out)["motion"]["speed_kmh"], 30.0);

  // 0.01 degrees of longitude at 10 N, about 1096 m, in a minute.
  const std::string track = (sim.dir / "drive.csv").string();
  test::writeFile(track, "10,20,2024-05-01T09:30:00Z\n10,20.01,2024-05-01T09:31:00Z\n");
  const auto follow = sim.python("print(sim.move(route='" + track + "', track_time=True, rate=2))");
  ASSERT_EQ(follow.exitCode, 0) << follow.err;
  const json route = json::parse(sim.ctl({"status"}).out)["motion"];
  EXPECT_EQ(route["model"], "route") << route;
  EXPECT_NEAR(route["route_metres"].get<double>(), 1096, 1) << route;
  EXPECT_NEAR(route["speed_kmh"].get<double>(), 1096.0 / 60 * 2 * 3.6, 1) << route;
  sim.process->stop();
}

// A set tells the truth while a motion runs: a route refuses a position;
// a motion by speed and heading goes on from the position set.
TEST(ControlRun, ASetDuringAMotionIsAppliedOrRefused) {
  Simulator sim({"--interval", "0.1", "--lat", "10", "--lon", "20"});
  ASSERT_GE(sim.reader, 0) << sim.process->err();
  const std::string track = (sim.dir / "track.csv").string();
  test::writeFile(track, "10,20\n10,20.01\n");
  ASSERT_EQ(sim.ctl({"move", "--route", track, "--speed", "1"}).exitCode, 0);
  const auto refused = sim.ctl({"set", "--lat", "1", "--lon", "2"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.out,
            R"({"error":"A route is running: it sets the position, speed and heading itself; use )"
            R"(move or stop it first.","ok":false})"
            "\n");
  ASSERT_EQ(sim.ctl({"move", "--speed", "36", "--heading", "180"}).exitCode, 0);
  ASSERT_EQ(sim.ctl({"set", "--lat", "-33.5", "--lon", "151.25"}).exitCode, 0);
  // From there (moved on by the time since the last tick), south at 10 m/s:
  // 10 m, 0.0054 minutes of latitude, in a second.
  EXPECT_LE(burstsBefore(sim, "S,15115.0000,E"), 1u);
  sim.skipToNow();
  EXPECT_LE(burstsBefore(sim, "3330.005"), 13u);
  EXPECT_EQ(json::parse(sim.ctl({"status"}).out)["motion"]["course"], 180.0);
  sim.process->stop();
}

// -c counts a tick whose burst a dropout held back: the run ends.
TEST(ControlRun, ACountedRunEndsWhenDropoutsRemoveItsBursts) {
  test::TempDir scenarioDir;
  test::writeFile(scenarioDir / "s.json", R"({"events":[{"every":0.05,"type":"dropout"}]})");
  Simulator sim(
      {"--interval", "0.05", "--count", "10", "--scenario", (scenarioDir / "s.json").string()});
  EXPECT_EQ(sim.process->waitForExit(10s), 0) << sim.process->err();
}

// In the nmea41 profile km/h and knots are related by 1.852 both ways: a
// speed set in km/h, in knots or by a motion reads alike in the sentences and
// in the status. The magnetic course follows the motion's course: 350 + 20 W.
TEST(ControlRun, Nmea41SpeedsAgreeInTheSentencesAndTheStatus) {
  Simulator sim({"--interval", "0.1", "--lat-step", "0", "--lon-step", "0", "--profile", "nmea41",
                 "--constellations", "gps", "--mag-var", "20W"});
  ASSERT_GE(sim.reader, 0) << sim.process->err();
  const auto speedKmh = [&] { return json::parse(sim.ctl({"status"}).out)["fix"]["speed_kmh"]; };
  ASSERT_EQ(sim.ctl({"set", "--speed", "36"}).exitCode, 0);
  burstsBefore(sim, ",19.44,N,36.00,K,");  // 36 / 1.852 = 19.4384 knots
  EXPECT_NEAR(speedKmh().get<double>(), 36, 1e-9);
  ASSERT_EQ(sim.ctl({"set", "--speed-knots", "10"}).exitCode, 0);
  burstsBefore(sim, ",10,N,19,K,");
  EXPECT_NEAR(speedKmh().get<double>(), 18.52, 1e-9);
  ASSERT_EQ(sim.ctl({"move", "--speed", "36", "--heading", "350"}).exitCode, 0);
  burstsBefore(sim, "VTG,350,T,10,M,19.44,N,36.00,K,");
  EXPECT_NEAR(speedKmh().get<double>(), 36, 1e-9);
  sim.process->stop();
}

struct FaultCase {
  const char* event;  // the scenario's event, without "at" and the duration
  bool once;
  // Whether a burst shows the fault.
  std::function<bool(const std::string& burst)> shows;
};

bool checksumHolds(const std::string& sentence) {
  const auto star = sentence.find('*');
  if (star == std::string::npos) return false;
  unsigned sum = 0;
  for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(sentence[i]);
  return std::stoul(sentence.substr(star + 1), nullptr, 16) == sum;
}

bool has(const std::string& burst, const std::string& text) {
  return burst.find(text) != std::string::npos;
}

// The tick a burst was built on, from its latitude: 48° 7' 2.28" N plus one
// arc-second per tick; nothing when it carries no latitude.
std::optional<long> latitudeTick(const std::string& burst) {
  for (const char* type : {"GGA", "RMC"}) {
    for (const std::string& s : sentencesOf(burst, type)) {
      const auto at = s.find(",48");
      if (at == std::string::npos) continue;
      const double minutes = std::stod(s.substr(at + 3, 7));
      return std::lround((minutes - 7) * 60 - 2.28);
    }
  }
  return std::nullopt;
}

// Each burst read, by the tick it was built on.
std::map<long, std::string> burstsByTick(const std::string& text) {
  std::map<long, std::string> bursts;
  long previous = -1;
  for (std::size_t at = text.find("$GPZDA"); at != std::string::npos;) {
    const auto next = text.find("$GPZDA", at + 1);
    const std::string burst =
        text.substr(at, next == std::string::npos ? std::string::npos : next - at);
    // A frozen or missing position continues the count; a dropout skips it.
    const long tick = std::max(previous + 1, latitudeTick(burst).value_or(previous + 1));
    bursts[tick] = burst;
    previous = tick;
    at = next;
  }
  return bursts;
}

// Scheduled at 0.5 s for 0.3 s with bursts 0.1 s apart: ticks 5, 6 and 7.
TEST(ControlRun, EveryFaultAppearsAndEndsWhenTheScenarioSays) {
  const std::vector<FaultCase> cases = {
      {R"("type":"no-fix")", false, [](const std::string& b) { return has(b, ",,,,,0,00,"); }},
      {R"("type":"bad-checksum","sentence":"RMC")", false,
       [](const std::string& b) { return !checksumHolds(sentencesOf(b, "RMC").at(0)); }},
      {R"("type":"frozen-fix")", false, [](const std::string& b) { return latitudeTick(b) == 5; }},
      {R"("type":"dropout")", false, nullptr},
      {R"("type":"drop-sentence","sentence":"GSV")", false,
       [](const std::string& b) { return !has(b, "$GPGSV"); }},
      {R"("type":"truncated-line")", false,
       [](const std::string& b) {
         return sentencesOf(b, "GGA")[0].find('*') == std::string::npos;
       }},
      {R"("type":"time-shift","shift_seconds":3600)", false,
       [](const std::string& b) { return has(b, "$GPGGA,133519.000"); }},
      {R"("type":"leap-second")", true,
       [](const std::string& b) { return has(b, "$GPGGA,235960.000"); }},
      {R"("type":"satellites-lost")", false,
       [](const std::string& b) { return has(b, ",45,120,00,"); }},
      {R"("type":"hdop-degrade")", false, [](const std::string& b) { return has(b, ",1,4,20,"); }},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.event);
    test::TempDir scenarioDir;
    const std::string duration = c.once ? "" : R"(,"seconds":0.3)";
    test::writeFile(scenarioDir / "s.json",
                    std::string(R"({"events":[{"at":0.5,)") + c.event + duration + "}]}");
    Simulator sim({"--interval", "0.1", "--count", "12", "--utc", "2024-03-23T12:35:19Z", "--lat",
                   "48:07:02.28N", "--lon", "011:31:00E", "--lat-step", "1", "--lon-step", "0",
                   "--scenario", (scenarioDir / "s.json").string()});
    ASSERT_GE(sim.reader, 0) << sim.process->err();
    // Until the run has ended and its port with it.
    const std::string text = sim.readUntil([](const std::string&) { return false; });
    ASSERT_EQ(sim.process->waitForExit(10s), 0) << sim.process->err();
    const auto bursts = burstsByTick(text);
    std::set<long> faulty;
    for (long k = 3; k <= 10; ++k) {
      const auto it = bursts.find(k);
      if (c.shows ? it != bursts.end() && c.shows(it->second) : it == bursts.end())
        faulty.insert(k);
    }
    const std::set<long> expected = c.once ? std::set<long>{5} : std::set<long>{5, 6, 7};
    EXPECT_EQ(faulty, expected) << text;
    const std::string name = json::parse(std::string("{") + c.event + "}")["type"];
    EXPECT_NE(sim.process->err().find("waymock-cli: " + name + " begins at 0.5 s of the run.\n"),
              std::string::npos)
        << sim.process->err();
    EXPECT_NE(sim.process->err().find("waymock-cli: " + name + " ends at " +
                                      (c.once ? "0.6" : "0.8") + " s of the run.\n"),
              std::string::npos)
        << sim.process->err();
  }
}

// A jump of 3087 m to the north (100 arc-seconds) at 0.5 s for two bursts, on
// top of the steps of one arc-second per tick: the text only, for its
// duration; the simulator's own fix goes on as before.
TEST(ControlRun, AJumpDisplacesTheTextForItsDuration) {
  test::TempDir scenarioDir;
  test::writeFile(scenarioDir / "s.json",
                  R"({"events":[{"at":0.5,"type":"jump","metres":3087,"bearing":0,"bursts":2}]})");
  Simulator sim({"--interval", "0.1", "--count", "9", "--lat", "48:07:02.28N", "--lon",
                 "011:31:00E", "--lat-step", "1", "--lon-step", "0", "--scenario",
                 (scenarioDir / "s.json").string()});
  ASSERT_GE(sim.reader, 0) << sim.process->err();
  const std::string text = sim.readUntil([](const std::string&) { return false; });
  ASSERT_EQ(sim.process->waitForExit(10s), 0) << sim.process->err();
  std::vector<long> ticks;
  for (const std::string& gga : sentencesOf(text, "GGA"))
    ticks.push_back(latitudeTick(gga).value_or(-1));
  const auto four = std::find(ticks.begin(), ticks.end(), 4);
  ASSERT_TRUE(four != ticks.end() && four + 3 < ticks.end()) << text;
  EXPECT_NEAR(four[1], 105, 1);
  EXPECT_EQ(four[2], four[1] + 1);
  EXPECT_EQ(four[3], 7);
  EXPECT_NE(sim.process->err().find("waymock-cli: jump begins at 0.5 s of the run.\n"),
            std::string::npos);
}

// Over loopback TCP on a port the system picked, a subscriber sees every
// burst with its time and a dropout's beginning and end, and no burst
// between them.
TEST(ControlRun, SubscribersSeeTheBurstsAndTheFaultsOverTcp) {
  Simulator sim({"--interval", "0.1", "--control-tcp", "0"});
  ASSERT_GE(sim.reader, 0) << sim.process->err();
  int port = 0;
  for (int i = 0; i < 1000 && port == 0; ++i) {
    const std::string err = sim.process->err();
    const auto at = err.find("control clients connect to TCP 127.0.0.1:");
    if (at != std::string::npos) port = std::stoi(err.substr(at + 41));
    if (port == 0) std::this_thread::sleep_for(10ms);
  }
  ASSERT_GT(port, 0) << sim.process->err();
  const auto r = test::runProcess(
      {"/usr/bin/python3", "-c",
       "import sys\n"
       "from waymock_control import Waymock\n"
       "address = ('127.0.0.1', int(sys.argv[1]))\n"
       "watch = Waymock(address)\n"
       "stream = watch.subscribe()\n"
       "first = next(stream)\n"
       "Waymock(address).fault('dropout', bursts=2)\n"
       "seen = [first]\n"
       "for event in stream:\n"
       "    seen.append(event)\n"
       "    if event['event'] == 'fault' and event['phase'] == 'ends':\n"
       "        seen.append(next(stream))\n"
       "        break\n"
       "for e in seen:\n"
       "    print(e['event'], e.get('phase', ''), e.get('type', ''),\n"
       "          e.get('time', '')[10:11] + e.get('time', '')[-1:], e.get('text', '')[:6])\n",
       std::to_string(port)},
      {}, 20s, {"PYTHONPATH=" + std::string(WAYMOCK_SOURCE_DIR) + "/clients/python"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Bursts, then the dropout begins and ends with nothing sent between.
  const auto begins = r.out.find("fault begins dropout");
  ASSERT_NE(begins, std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(0, 18), "burst   TZ $GPZDA\n") << r.out;
  EXPECT_EQ(r.out.substr(begins),
            "fault begins dropout  \nfault ends dropout  \nburst   TZ $GPZDA\n")
      << r.out;
}

// What cannot be used is refused before anything is sent, with the reason.
TEST(ControlRun, RefusesWhatItCannotUseWithTheReason) {
  test::TempDir dir;
  test::writeFile(dir / "bad.json", R"({"events":[{"at":1,"type":"no-fix","seconds":-2}]})");
  test::writeFile(dir / "list.json", "[1]");
  test::writeFile(dir / "broken.json", R"({"events":[)");
  test::writeFile(dir / "extra.json", R"({"events":[],"event":[{"at":1,"type":"no-fix"}]})");
  fs::create_directory(dir / "open");
  fs::permissions(dir / "open", fs::perms::all);
  const std::string virtualPort = "--virtual=" + (dir / "gps").string();
  struct Refusal {
    std::vector<std::string> args;
    int exitCode;
    std::string message;
  };
  const std::vector<Refusal> cases = {
      {{"run", virtualPort, "--scenario", (dir / "bad.json").string()},
       2,
       "The scenario file " + (dir / "bad.json").string() +
           ", event 1: \"seconds\" must be more than 0."},
      {{"run", virtualPort, "--scenario", (dir / "list.json").string()},
       2,
       "The scenario file " + (dir / "list.json").string() + " has no list of \"events\"."},
      {{"run", virtualPort, "--scenario", (dir / "broken.json").string()},
       2,
       "The scenario file " + (dir / "broken.json").string() + " is not JSON."},
      {{"run", virtualPort, "--scenario", (dir / "extra.json").string()},
       2,
       "The scenario file " + (dir / "extra.json").string() +
           " has \"event\", which a scenario does not have; it holds \"events\" only."},
      {{"run", virtualPort, "--scenario", (dir / "none.json").string()},
       1,
       "The scenario file " + (dir / "none.json").string() + " does not exist."},
      {{"run", virtualPort, "--control=" + (dir / "bad.json").string()},
       1,
       (dir / "bad.json").string() + " exists and is not a control socket."},
      {{"run", virtualPort, "--control-tcp", "1:2:3"},
       2,
       "--control-tcp: \"1:2:3\" is not [ADDR:]PORT with a port from 0 to 65535."},
      {{"run", virtualPort, "--control-tcp", "0.0.0.0:0"},
       2,
       "--control-tcp: 0.0.0.0:0 is not a loopback address: whoever reaches it could steer the "
       "simulator and have it read files into its replies. Give --control-tcp-any to allow it."},
      {{"run", virtualPort, "--control=" + (dir / "open" / "ctl.sock").string()},
       1,
       "Other users may write in the control folder " + (dir / "open").string() +
           ", so they could replace the socket; use a folder only you can write in, or one with "
           "the sticky bit (mode 1777, as /tmp)."},
      {{"ctl", "--socket", (dir / "none.sock").string(), "subscribe", "--lines", "0"},
       2,
       "--lines must be at least 1."},
      {{"ctl", "--socket", (dir / "none.sock").string(), "status"},
       1,
       "Cannot reach a simulator at " + (dir / "none.sock").string() +
           " (is one running with its control channel on?). No such file or directory."},
  };
  for (const Refusal& c : cases) {
    std::vector<std::string> args = {test::cliPath()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = test::runProcess(args, {}, 10s);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.message;
    EXPECT_NE(r.err.find("waymock-cli: " + c.message + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find("simulated receiver"), std::string::npos) << "announced: " << r.err;
  }
}

// A listener that never answers: ctl gives up after --timeout.
TEST(ControlRun, CtlWaitsForAReplyNoLongerThanItsTimeout) {
  test::TempDir dir;
  const std::string socket = (dir / "silent.sock").string();
  test::BackgroundProcess silent(
      {"/usr/bin/python3", "-c",
       "import socket, sys, time\ns = socket.socket(socket.AF_UNIX)\ns.bind(sys.argv[1])\n"
       "s.listen(1)\nprint('listening', flush=True)\nc, _ = s.accept()\ntime.sleep(30)\n",
       socket});
  ASSERT_TRUE(silent.waitForOutput([](const std::string& o) { return o == "listening\n"; }, 10s));
  const auto r = test::runProcess(
      {test::cliPath(), "ctl", "--socket", socket, "--timeout", "0.2", "status"}, {}, 10s);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "waymock-cli: The simulator did not reply in time (--timeout).\n");
}

}  // namespace
}  // namespace waymock::control_test
