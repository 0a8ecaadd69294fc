// The desktop's location services reading the simulator, as they run on a
// user's machine: GeoClue 2 with its network NMEA source on our Unix socket,
// answering its own demo client where-am-i; Avahi's browser finding the TCP
// server we announce; Qt Positioning's NMEA plugin reading the TCP server.
// GeoClue and Avahi run on a private system bus in a network and mounts of
// the test's own (their configuration is bound over the system's there).
//
// The fix is Munich's Marienplatz, 48 08' 13.7544" N, 11 34' 34.0464" E,
// which GGA writes as 4808.2292 N, 01134.5674 E: 48.137153 and 11.576123
// degrees, 48.13715 and 11.57612 to five decimals.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/private_network.h"
#include "common/test_support.h"

namespace waymock {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::vector<std::string> kMunich = {
    "--lat", "48:08:13.7544N", "--lon", "011:34:34.0464E", "--lat-step", "0", "--lon-step", "0"};
const std::string kGeoclue = "/usr/libexec/geoclue";
const std::string kWhereAmI = "/usr/libexec/geoclue-2.0/demos/where-am-i";
const std::string kPython = "/usr/bin/python3";

// The simulator's run, in the locale with a decimal comma.
std::unique_ptr<test::BackgroundProcess> simulator(const test::TempDir& dir,
                                                   const std::vector<std::string>& options) {
  ::setenv("LC_ALL", test::kDecimalCommaLocale, 1);
  std::vector<std::string> args = {test::cliPath(), "run", "--virtual=" + (dir / "gps").string(),
                                   "-q"};
  args.insert(args.end(), kMunich.begin(), kMunich.end());
  args.insert(args.end(), options.begin(), options.end());
  auto run = std::make_unique<test::BackgroundProcess>(args);
  ::unsetenv("LC_ALL");
  return run;
}

bool eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 500 && !condition(); ++i) std::this_thread::sleep_for(20ms);
  return condition();
}

// A system bus of the test's own, which lets everyone own and call anything;
// DBUS_SYSTEM_BUS_ADDRESS names it to the programs started after it.
std::unique_ptr<test::BackgroundProcess> privateSystemBus(const test::TempDir& dir) {
  const fs::path socket = dir / "system_bus";
  test::writeFile(dir / "bus.conf",
                  "<busconfig><type>system</type><listen>unix:path=" + socket.string() +
                      "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                      "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
                      "<allow receive_sender=\"*\"/></policy></busconfig>\n");
  auto bus = std::make_unique<test::BackgroundProcess>(std::vector<std::string>{
      test::findProgram("dbus-daemon"), "--config-file=" + (dir / "bus.conf").string(), "--nofork",
      "--nopidfile"});
  if (!eventually([&] { return fs::exists(socket); })) throw std::runtime_error("no bus");
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket.string()).c_str(), 1);
  return bus;
}

// Why the programs a test needs are not all there; empty when they are.
std::string missing(const std::vector<std::string>& programs) {
  for (const std::string& program : programs) {
    if (program.starts_with('/') ? !fs::exists(program) : test::findProgram(program).empty())
      return program + " is not installed";
  }
  return "";
}

TEST(DesktopServices, GeoClueWhereAmIShowsTheFixFromTheNmeaSocket) {
  if (const auto why = missing({kGeoclue, kWhereAmI, "dbus-daemon", kPython}); !why.empty())
    GTEST_SKIP() << why;
  test::TempDir dir;
  const auto run = test::runInPrivateNetwork(
      [&] {
        const auto bus = privateSystemBus(dir);
        // Our socket as the only source; the agent below grants the location.
        test::writeFile(dir / "geoclue.conf",
                        "[agent]\nwhitelist=waymock-test-agent\n"
                        "[network-nmea]\nenable=true\nnmea-socket=" +
                            (dir / "nmea.sock").string() +
                            "\n[3g]\nenable=false\n[cdma]\nenable=false\n"
                            "[modem-gps]\nenable=false\n[wifi]\nenable=false\n"
                            "[compass]\nenable=false\n");
        if (::mount((dir / "geoclue.conf").c_str(), "/etc/geoclue/geoclue.conf", nullptr, MS_BIND,
                    nullptr) != 0) {
          return std::string("cannot bind geoclue.conf");
        }
        const auto waymock = simulator(dir, {"--nmea-socket=" + (dir / "nmea.sock").string()});
        test::BackgroundProcess geoclue({kGeoclue});
        test::BackgroundProcess agent(
            {kPython, WAYMOCK_TESTS_DIR "/desktop/geoclue_agent.py", "waymock-test-agent"});
        if (!agent.waitForOutput([](const std::string& out) { return out == "ready\n"; }, 20s))
          return "the agent was not taken: " + agent.err() + geoclue.err();
        test::BackgroundProcess whereAmI({kWhereAmI, "--timeout", "30"});
        whereAmI.waitForOutput(
            [](const std::string& out) { return out.find("Longitude:") != std::string::npos; },
            30s);
        return whereAmI.out() + whereAmI.err();
      },
      true);
  if (!run.skipped.empty()) GTEST_SKIP() << run.skipped;
  // where-am-i follows the C library's locale, which may write a comma.
  std::string shown = run.result;
  std::replace(shown.begin(), shown.end(), ',', '.');
  EXPECT_NE(shown.find("Latitude:    48.13715"), std::string::npos) << run.result;
  EXPECT_NE(shown.find("Longitude:   11.57612"), std::string::npos) << run.result;
}

TEST(DesktopServices, AvahiBrowseFindsTheAnnouncedServerUntilItStops) {
  if (const auto why = missing({"avahi-daemon", "avahi-browse", "dbus-daemon"}); !why.empty())
    GTEST_SKIP() << why;
  test::TempDir dir;
  const auto run = test::runInPrivateNetwork(
      [&] {
        // The daemon keeps its pid file and socket in /run: a /run of its own.
        if (::mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0 ||
            ::mkdir("/run/avahi-daemon", 0755) != 0) {
          return std::string("cannot mount a private /run");
        }
        const auto bus = privateSystemBus(dir);
        test::writeFile(dir / "avahi.conf",
                        "[server]\nuse-ipv6=no\nallow-interfaces=lo\n"
                        "[wide-area]\nenable-wide-area=no\n"
                        "[publish]\npublish-workstation=no\npublish-hinfo=no\n"
                        "publish-aaaa-on-ipv4=no\n");
        test::BackgroundProcess avahi({test::findProgram("avahi-daemon"), "-f",
                                       (dir / "avahi.conf").string(), "--no-drop-root",
                                       "--no-chroot", "--no-rlimits"});
        auto waymock = simulator(dir, {"--tcp", "0", "--announce"});
        const int port = test::tcpPortOf(*waymock);
        const auto browse = [] {
          return test::runProcess({test::findProgram("avahi-browse"), "-rtp", "_nmea-0183._tcp"},
                                  {}, 20s)
              .out;
        };
        std::string found;
        eventually([&] {
          found = browse();
          return found.find("\n=;") != std::string::npos || found.starts_with("=;");
        });
        waymock->stop();
        // The goodbye takes the service from the browsers' caches within a second.
        std::string after;
        eventually([&] {
          after = browse();
          return after.find("Waymock") == std::string::npos;
        });
        return std::to_string(port) + "\n" + found + "after the stop:\n" + after;
      },
      true);
  if (!run.skipped.empty()) GTEST_SKIP() << run.skipped;
  // The host's name, which avahi-browse -p writes with its blank as \032.
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  const std::string name = std::string(host).substr(0, std::string(host).find('.'));
  const std::string port = run.result.substr(0, run.result.find('\n'));
  EXPECT_NE(run.result.find("=;lo;IPv4;" + name + "\\032Waymock;_nmea-0183._tcp;local;" + name +
                            ".local;127.0.0.1;" + port + ";\"accuracy=exact\"\n"),
            std::string::npos)
      << run.result;
  const std::string after = run.result.substr(run.result.find("after the stop:\n"));
  EXPECT_EQ(after.find("Waymock"), std::string::npos) << run.result;
}

#ifdef WAYMOCK_QT_POSITION
TEST(DesktopServices, QtPositioningReadsTheFixFromTheTcpServer) {
  test::TempDir dir;
  const auto waymock = simulator(dir, {"--tcp", "0"});
  const int port = test::tcpPortOf(*waymock);
  ASSERT_GT(port, 0) << waymock->err();
  const auto r =
      test::runProcess({WAYMOCK_QT_POSITION, "socket://127.0.0.1:" + std::to_string(port)}, {}, 30s,
                       {std::string("LC_ALL=") + test::kDecimalCommaLocale});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 8) + r.out.substr(r.out.find(' '), 9), "48.13715 11.57612") << r.out;
}
#endif

}  // namespace
}  // namespace waymock
