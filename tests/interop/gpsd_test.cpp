// gpsd reads the simulator like a receiver on a serial line, over UDP or TCP, and
// gpspipe shows what it made of it.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "interop/interop_support.h"
#include "interop/route_reference.h"

namespace waymock::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

struct Fix {
  const char* lat;
  const char* lon;
  double latitude;  // signed decimal degrees as clients show them: north and east positive
  double longitude;
  const char* alt;
  double altitude;
};

// Everything the simulator is told besides the position and the target.
std::vector<std::string> fixArguments(const Fix& fix, const std::string& satellites) {
  return {"--lat", fix.lat, "--lon", fix.lon, "--alt", fix.alt, "--speed-knots", "22.4",
          "--heading", "84.4", "--mag-var", "3.1W", "--mag-heading", "87.5", "--geoid", "46.9",
          "--hdop", "0.9", "--pdop", "1.5", "--vdop", "1.2", "--satellites", satellites,
          // Several bursts a second keep the test short; a still fix keeps every report equal.
          "--interval", "0.2", "--lat-step", "0", "--lon-step", "0"};
}

struct Reports {
  json tpv;  // the last full position report
  json sky;  // the last satellite report
};

bool fullTpv(const json& r) {
  return r.value("class", "") == "TPV" && r.contains("lat") && r.contains("lon") &&
         r.contains("altMSL") && r.contains("speed") && r.contains("track");
}
// gpsd reports the sky after each constellation's GSV: the full one lists them all.
bool fullSky(const json& r, std::size_t satellites) {
  return r.value("class", "") == "SKY" && r.contains("satellites") &&
         r["satellites"].size() == satellites;
}

std::optional<Reports> findReports(const std::string& out, std::size_t satellites) {
  std::optional<json> tpv, sky;
  for (const json& r : jsonLines(out)) {
    if (fullTpv(r)) tpv = r;
    if (fullSky(r, satellites)) sky = r;
  }
  if (!tpv || !sky) return std::nullopt;
  return Reports{*tpv, *sky};
}

// Watches gpsd with gpspipe until a full position and a satellite report have
// come, for at most `timeout`. gpsd takes a moment to listen and to probe the
// device, so a gpspipe that could not connect yet is started again.
std::optional<Reports> watchGpsd(const std::string& gpspipe, int port, std::string& seen,
                                 std::chrono::milliseconds timeout, std::size_t satellites) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    BackgroundProcess pipe({gpspipe, "-w", "127.0.0.1:" + std::to_string(port)});
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const bool done = pipe.waitForOutput(
        [&](const std::string& out) { return findReports(out, satellites).has_value(); }, left);
    pipe.stop();
    seen = pipe.out() + pipe.err();
    if (done) return findReports(pipe.out(), satellites);
    std::this_thread::sleep_for(100ms);
  }
  return std::nullopt;
}

void expectPositionReportShowsFix(const json& tpv, const Fix& fix) {
  EXPECT_EQ(tpv.value("mode", 0), 3) << tpv.dump();
  EXPECT_NEAR(tpv["lat"].get<double>(), fix.latitude, 1e-6) << tpv.dump();
  EXPECT_NEAR(tpv["lon"].get<double>(), fix.longitude, 1e-6) << tpv.dump();
  EXPECT_NEAR(tpv["altMSL"].get<double>(), fix.altitude, 1e-3) << tpv.dump();
  // Above the ellipsoid: the altitude plus the geoid separation.
  EXPECT_NEAR(tpv["altHAE"].get<double>(), fix.altitude + 46.9, 1e-3) << tpv.dump();
  EXPECT_NEAR(tpv["geoidSep"].get<double>(), 46.9, 1e-3) << tpv.dump();
  // Metres per second from the knots.
  EXPECT_NEAR(tpv["speed"].get<double>(), 22.4 * 1852.0 / 3600.0, 1e-3) << tpv.dump();
  EXPECT_NEAR(tpv["track"].get<double>(), 84.4, 1e-3) << tpv.dump();
  EXPECT_NEAR(tpv["magtrack"].get<double>(), 87.5, 1e-3) << tpv.dump();
  EXPECT_NEAR(tpv["magvar"].get<double>(), -3.1, 1e-3) << tpv.dump();  // west negative
}

void expectReportsShowFix(const Reports& r, const Fix& fix) {
  expectPositionReportShowsFix(r.tpv, fix);
  const json& sky = r.sky;
  EXPECT_NEAR(sky["hdop"].get<double>(), 0.9, 1e-3) << sky.dump();
  EXPECT_NEAR(sky["pdop"].get<double>(), 1.5, 1e-3) << sky.dump();
  EXPECT_NEAR(sky["vdop"].get<double>(), 1.2, 1e-3) << sky.dump();
  ASSERT_EQ(sky["satellites"].size(), kActiveSatellites.size()) << sky.dump();
  for (std::size_t i = 0; i < kActiveSatellites.size(); ++i) {
    const json& s = sky["satellites"][i];
    const ExpectedSatellite& e = kActiveSatellites[i];
    EXPECT_EQ(s["PRN"].get<int>(), e.prn) << s.dump();
    EXPECT_EQ(s["el"].get<double>(), e.elevation) << s.dump();
    EXPECT_EQ(s["az"].get<double>(), e.azimuth) << s.dump();
    EXPECT_EQ(s["ss"].get<double>(), e.snr) << s.dump();
    // gpsd takes the satellites in use from the GSA slots, which none of these fill.
    EXPECT_FALSE(s["used"].get<bool>()) << s.dump();
  }
}

// A listening socket of its own for each of gpsd's ports: gpsd cannot be told
// port 0, so its client port is picked here and handed over as a service
// manager would (its control socket first), and a udp:// source on port 0 is
// looked up among the sockets the process holds.
class Gpsd {
 public:
  Gpsd(const std::string& program, const std::string& device, const TempDir& dir) {
    const int control = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un local{};
    local.sun_family = AF_UNIX;
    const std::string path = (dir / "gpsd.sock").string();
    std::strncpy(local.sun_path, path.c_str(), sizeof local.sun_path - 1);
    const int clients = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool listening =
        ::bind(control, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
        ::listen(control, 4) == 0 &&
        ::bind(clients, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(clients, 8) == 0 &&
        ::getsockname(clients, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    EXPECT_TRUE(listening) << std::strerror(errno);
    port_ = ntohs(address.sin_port);
    // -b: read-only, gpsd never writes probes into our port.
    process_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{"/bin/sh", "-c", "LISTEN_PID=$$ LISTEN_FDS=2 exec \"$0\" \"$@\"",
                                 program, "-N", "-n", "-b", device},
        std::vector<int>{control, clients});
    ::close(control);
    ::close(clients);
  }

  BackgroundProcess& process() { return *process_; }
  // Where gpspipe connects.
  int port() const { return port_; }

  // The port of gpsd's UDP socket on 127.0.0.1, once it has one; 0 when it
  // has none within ten seconds.
  int udpPort() const {
    const std::string fds = "/proc/" + std::to_string(process_->pid()) + "/fd";
    for (int attempt = 0; attempt < 1000; ++attempt) {
      std::set<std::string> sockets;
      std::error_code ignored;
      for (const auto& fd : std::filesystem::directory_iterator(fds, ignored)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), ignored).string();
        if (target.starts_with("socket:[")) sockets.insert(target.substr(8, target.size() - 9));
      }
      std::ifstream table("/proc/net/udp");
      std::string line;
      std::getline(table, line);  // the heading
      while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode;
        if (sockets.count(inode) != 0 && local.starts_with("0100007F:")) {
          return std::stoi(local.substr(9), nullptr, 16);
        }
      }
      std::this_thread::sleep_for(10ms);
    }
    return 0;
  }

 private:
  int port_ = 0;
  std::unique_ptr<BackgroundProcess> process_;
};

class GpsdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gpsd_ = requireProgram("gpsd", "gpsd");
    gpspipe_ = requireProgram("gpspipe", "gpsd-clients");
    if (gpsd_.empty() || gpspipe_.empty()) GTEST_SKIP() << "(failed above)";
    satellites_ = (dir_ / "satellites.ini").string();
    writeFile(satellites_, kSatelliteFile);
  }

  // Starts the simulator and waits until its virtual port exists.
  std::unique_ptr<BackgroundProcess> startSimulator(const Fix& fix, std::vector<std::string> extra,
                                                    const std::string& lastSentence = "$GPGSV") {
    std::vector<std::string> args = {cliPath(), "run"};
    for (const auto& a : fixArguments(fix, satellites_)) args.push_back(a);
    for (auto& a : extra) args.push_back(std::move(a));
    auto simulator = std::make_unique<BackgroundProcess>(args);
    // The first burst on standard output comes after the port is open.
    EXPECT_TRUE(simulator->waitForOutput(
        [&](const std::string& out) { return out.find(lastSentence) != std::string::npos; }, 10s))
        << simulator->err();
    return simulator;
  }

  void expectGpsdShows(Gpsd& gpsd, const Fix& fix) {
    std::string seen;
    const auto reports = watchGpsd(gpspipe_, gpsd.port(), seen, 10s, kActiveSatellites.size());
    ASSERT_TRUE(reports.has_value()) << "gpspipe showed:\n"
                                     << seen << "\ngpsd said:\n"
                                     << gpsd.process().err();
    expectReportsShowFix(*reports, fix);
  }

  TempDir dir_;
  std::string gpsd_, gpspipe_, satellites_;
};

TEST_F(GpsdTest, ReadsTheVirtualSerialPort) {
  const Fix fix{"33:51:24.408S", "151:12:55.044W", -33.85678, -151.21529, "12.5", 12.5};
  const std::string device = (dir_ / "gps").string();
  auto simulator = startSimulator(fix, {"--virtual=" + device});
  Gpsd gpsd(gpsd_, device, dir_);
  expectGpsdShows(gpsd, fix);
  EXPECT_EQ(simulator->stop(), 0) << simulator->err();
}

TEST_F(GpsdTest, ReadsTheUdpDatagrams) {
  const Fix fix{"48:07:02.28N", "011:31:00E", 48.1173, 11.516666667, "545.4", 545.4};
  // gpsd listens on a port the system picks, and the simulator sends there.
  Gpsd gpsd(gpsd_, "udp://127.0.0.1:0", dir_);
  const int udpPort = gpsd.udpPort();
  ASSERT_GT(udpPort, 0) << gpsd.process().err();
  // The run needs a port as well; nobody reads this one.
  auto simulator = startSimulator(fix, {"--virtual=" + (dir_ / "gps").string(), "--udp",
                                        "127.0.0.1:" + std::to_string(udpPort)});
  expectGpsdShows(gpsd, fix);
  EXPECT_EQ(simulator->stop(), 0) << simulator->err();
}

TEST_F(GpsdTest, ReadsTheTcpStream) {
  const Fix fix{"51:28:38.0N", "000:00:05.31W", 51.477222222, -0.001475, "45.0", 45.0};
  auto simulator = startSimulator(fix, {"--virtual=" + (dir_ / "gps").string(), "--tcp", "0"});
  Gpsd gpsd(gpsd_, "tcp://127.0.0.1:" + std::to_string(tcpPortOf(*simulator)), dir_);
  expectGpsdShows(gpsd, fix);
  EXPECT_EQ(simulator->stop(), 0) << simulator->err();
}

}  // namespace
}  // namespace waymock::test

namespace waymock::test {
namespace {

// The nmea41 profile over the virtual port, three constellations chosen and
// ticks on the second: gpsd reports the fix, the satellites of each
// constellation (gnssid 0 GPS, 6 GLONASS, 2 Galileo; BeiDou's left out) and
// times on the tick grid. gpsd 3.22 reads a GN GSA's last field as a signal ID,
// not as the system ID, so it takes Galileo numbers there for GPS PRNs: only
// GPS and GLONASS satellites show as used.
TEST_F(GpsdTest, ReadsEachConstellationOfTheNmea41Profile) {
  writeFile(satellites_, std::string(kSatelliteFile) + kConstellationSatellites);
  const Fix fix{"48:07:02.28N", "011:31:00E", 48.1173, 11.516666667, "545.4", 545.4};
  const std::string device = (dir_ / "gps").string();
  auto simulator =
      startSimulator(fix,
                     {"--virtual=" + device, "--profile", "nmea41", "--zda", "standard",
                      "--constellations", "gps,glonass,galileo", "--tick", "on-second"},
                     "$GAGSV");
  Gpsd gpsd(gpsd_, device, dir_);
  struct Seen {
    int gnssid, svid, prn;
    double el, az, ss;
    bool used;
  };
  const std::vector<Seen> expected = {
      {0, 3, 3, 45, 120, 40, true},  {0, 7, 7, 20, 300, 35, true},    {0, 12, 12, 60, 45, 44, true},
      {0, 19, 19, 15, 210, 9, true}, {0, 28, 28, 5, 80, 30, true},    {6, 2, 66, 30, 200, 38, true},
      {6, 7, 71, 55, 10, 0, false},  {2, 5, 305, 40, 150, 42, false},
  };
  std::string seen;
  const auto reports = watchGpsd(gpspipe_, gpsd.port(), seen, 10s, expected.size());
  ASSERT_TRUE(reports.has_value()) << "gpspipe showed:\n"
                                   << seen << "\ngpsd said:\n"
                                   << gpsd.process().err();
  expectPositionReportShowsFix(reports->tpv, fix);
  // The epochs of a 0.2 s grid on the second: "...:07.400Z".
  const std::string time = reports->tpv.value("time", "");
  ASSERT_GE(time.size(), 5u) << reports->tpv.dump();
  EXPECT_EQ(std::stoi(time.substr(time.size() - 4, 3)) % 200, 0) << time;
  EXPECT_EQ(reports->sky.value("uSat", 0), 6) << reports->sky.dump();  // GPS and GLONASS only
  const json& satellites = reports->sky["satellites"];
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const json& s = satellites[i];
    const Seen& e = expected[i];
    EXPECT_EQ(s["gnssid"].get<int>(), e.gnssid) << s.dump();
    EXPECT_EQ(s["svid"].get<int>(), e.svid) << s.dump();
    EXPECT_EQ(s["PRN"].get<int>(), e.prn) << s.dump();
    EXPECT_EQ(s["el"].get<double>(), e.el) << s.dump();
    EXPECT_EQ(s["az"].get<double>(), e.az) << s.dump();
    EXPECT_EQ(s["ss"].get<double>(), e.ss) << s.dump();
    EXPECT_EQ(s["used"].get<bool>(), e.used) << s.dump();
  }
  EXPECT_EQ(simulator->stop(), 0) << simulator->err();
}

}  // namespace
}  // namespace waymock::test

namespace waymock::test {
namespace {

// gpsd's decoder (gpsdecode) on bursts without RMC: the standard ZDA gives the
// reports their time, the classic one-field date none ("malformed ZDA year").
TEST(GpsdDecode, TakesTheTimeFromTheStandardZdaOnly) {
  const std::string gpsdecode = requireProgram("gpsdecode", "gpsd-clients");
  if (gpsdecode.empty()) GTEST_SKIP() << "(failed above)";
  for (const std::string zda : {"standard", "classic"}) {
    std::string log;
    for (const char* utc : {"2024-03-23T12:35:18Z", "2024-03-23T12:35:19Z"}) {
      const ProcessResult burst =
          runProcess({cliPath(), "burst", "--utc", utc, "--lat", "48.1173", "--lon", "11.5167",
                      "--zda", zda, "--sentences", "GPZDA,GPGGA,GPGSA"});
      ASSERT_EQ(burst.exitCode, 0) << burst.err;
      log += burst.out;
    }
    const ProcessResult decoded = runProcess({gpsdecode, "-j"}, log);
    std::optional<json> tpv;
    for (const json& r : jsonLines(decoded.out)) {
      if (r.value("class", "") == "TPV") tpv = r;
    }
    ASSERT_TRUE(tpv.has_value()) << decoded.out << decoded.err;
    EXPECT_NEAR((*tpv)["lat"].get<double>(), 48.1173, 1e-6);
    if (zda == "standard") {
      EXPECT_EQ(tpv->value("time", ""), "2024-03-23T12:35:19.000Z") << tpv->dump();
    } else {
      EXPECT_FALSE(tpv->contains("time")) << tpv->dump();
    }
  }
}

// Satellite numbers above 32 in the nmea41 profile as gpsd 3.22 reads them.
// The GSV runs give Galileo 33-36 and BeiDou 33-63 their systems (gnssid 2 and
// 3, PRN 300 + n and 400 + n), never used; but a GNGSA's numbers from 33 on
// are SBAS numbers to gpsd (it takes the system ID for a signal ID): those not
// also in view under the same svid come up as SBAS satellites of their own
// (gnssid 1, svid number + 87, the number as PRN), used, and uSat counts them.
TEST(GpsdDecode, TakesGsaNumbersAbove32ForSbas) {
  const std::string gpsdecode = requireProgram("gpsdecode", "gpsd-clients");
  if (gpsdecode.empty()) GTEST_SKIP() << "(failed above)";
  TempDir dir;
  std::string file = "[3]\r\nActive=1\r\nElevation=45\r\nAzimuth=120\r\nSNR=40\r\n";
  const auto add = [&](const char* system, int from, int to) {
    for (int n = from; n <= to; ++n) {
      file.append("[").append(system).append(std::to_string(n));
      file.append("]\r\nActive=1\r\nElevation=30\r\nAzimuth=100\r\nSNR=30\r\n");
    }
  };
  add("GA", 33, 36);
  add("GB", 33, 40);
  writeFile(dir / "satellites.ini", file);
  std::string log;
  for (const char* utc : {"2024-03-23T12:35:18Z", "2024-03-23T12:35:19Z"}) {
    const ProcessResult burst = runProcess({cliPath(), "burst", "--utc", utc, "--profile", "nmea41",
                                            "--satellites", (dir / "satellites.ini").string()});
    ASSERT_EQ(burst.exitCode, 0) << burst.err;
    log += burst.out;
  }
  const ProcessResult decoded = runProcess({gpsdecode, "-j"}, log);
  std::optional<json> sky;
  for (const json& r : jsonLines(decoded.out)) {
    if (r.value("class", "") == "SKY") sky = r;
  }
  ASSERT_TRUE(sky.has_value()) << decoded.out << decoded.err;
  // PRN gnssid:svid, and "+" for used.
  std::string seen;
  for (const json& s : (*sky)["satellites"]) {
    seen += std::to_string(s["PRN"].get<int>()) + " " + std::to_string(s["gnssid"].get<int>()) +
            ":" + std::to_string(s["svid"].get<int>()) + (s["used"].get<bool>() ? "+ " : " ");
  }
  EXPECT_EQ(seen,
            "3 0:3+ 333 2:33 334 2:34 335 2:35 336 2:36 433 3:33 434 3:34 435 3:35 436 3:36 "
            "37 1:124+ 38 1:125+ 39 1:126+ 40 1:127+ ");  // the last four never sent
  EXPECT_EQ(sky->value("uSat", 0), 5) << "GPS 3 and four phantoms";
}

}  // namespace
}  // namespace waymock::test

namespace waymock::test {
namespace {

// What a navigation program's test suite does: a script moves the fix and
// cuts it for a while through the control channel, and gpsd, reading the
// virtual port, reports no fix during the cut and the moved fix after it.
TEST_F(GpsdTest, ReportsNoFixWhileAScriptCutsItAndTheMovedFixAfter) {
  const Fix fix{"48:07:02.28N", "011:31:00E", 48.1173, 11.516666667, "545.4", 545.4};
  const std::string device = (dir_ / "gps").string();
  const std::string control = (dir_ / "control.sock").string();
  EnvGuard locale("LC_ALL", kDecimalCommaLocale);
  auto simulator = startSimulator(fix, {"--virtual=" + device, "--control=" + control});
  Gpsd gpsd(gpsd_, device, dir_);
  expectGpsdShows(gpsd, fix);

  BackgroundProcess watch({gpspipe_, "-w", "127.0.0.1:" + std::to_string(gpsd.port())});
  const auto tpv = [](const json& r, int mode) {
    return r.value("class", "") == "TPV" && r.value("mode", 0) == mode;
  };
  ASSERT_TRUE(watch.waitForOutput(
      [&](const std::string& out) {
        for (const json& r : jsonLines(out)) {
          if (tpv(r, 3)) return true;
        }
        return false;
      },
      10s))
      << watch.out();

  const ProcessResult script =
      runProcess({"/usr/bin/python3", "-c",
                  "import sys\nfrom waymock_control import Waymock\nsim = Waymock(sys.argv[1])\n"
                  "sim.set(lat=48.5, lon=-11.25)\nsim.fault('no-fix', seconds=1)\n",
                  control},
                 {}, 20s, {"PYTHONPATH=" + std::string(WAYMOCK_SOURCE_DIR) + "/clients/python"});
  ASSERT_EQ(script.exitCode, 0) << script.err;

  // In order: no fix, then the fix where the script put it.
  const auto cutThenMoved = [&](const std::string& out) {
    bool cut = false;
    for (const json& r : jsonLines(out)) {
      cut = cut || tpv(r, 1);
      if (cut && tpv(r, 3) && std::fabs(r.value("lat", 0.0) - 48.5) < 1e-6 &&
          std::fabs(r.value("lon", 0.0) + 11.25) < 1e-6) {
        return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(watch.waitForOutput(cutThenMoved, 15s)) << watch.out();
  watch.stop();
  EXPECT_NE(simulator->err().find("no-fix begins"), std::string::npos) << simulator->err();
  EXPECT_EQ(simulator->stop(), 0) << simulator->err();
}

// The example route into the virtual port at 72 km/h, turning back at the end:
// each fix gpsd reports lies where the route puts it at the sentence's own time
// (the track's: --use-track-time), 20 m for each second since the first point,
// its magnetic course with it.
TEST_F(GpsdTest, FollowsTheRouteAtTheDistanceItsTimeGives) {
  const std::string device = (dir_ / "gps").string();
  BackgroundProcess simulator({cliPath(), "run", "--route", kExampleRoute, "--route-speed", "72",
                               "--route-end", "reverse", "--use-track-time", "--interval", "0.2",
                               "--mag-var", "2.5W", "--satellites", satellites_,
                               "--virtual=" + device});
  ASSERT_TRUE(simulator.waitForOutput(
      [](const std::string& out) { return out.find("$GPGSV") != std::string::npos; }, 10s))
      << simulator.err();
  Gpsd gpsd(gpsd_, device, dir_);
  const RouteReference route(kExampleRoute);
  const auto moving = [](const json& r) {
    return r.value("class", "") == "TPV" && r.contains("lat") && r.contains("time") &&
           r.contains("speed");
  };
  std::vector<json> fixes;
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (fixes.size() < 10 && std::chrono::steady_clock::now() < deadline) {
    BackgroundProcess pipe({gpspipe_, "-w", "127.0.0.1:" + std::to_string(gpsd.port())});
    pipe.waitForOutput(
        [&](const std::string& out) {
          const auto lines = jsonLines(out);
          return std::count_if(lines.begin(), lines.end(), moving) >= 10;
        },
        5s);
    pipe.stop();
    fixes.clear();
    for (const json& r : jsonLines(pipe.out())) {
      if (moving(r)) fixes.push_back(r);
    }
  }
  ASSERT_GE(fixes.size(), 10u) << gpsd.process().err();
  for (const json& tpv : fixes) {
    const std::string time = tpv["time"].get<std::string>();  // 2024-05-01T09:30:12.345Z
    ASSERT_EQ(time.substr(0, 11), "2024-05-01T") << tpv.dump();
    const double seconds = std::stod(time.substr(11, 2)) * 3600 +
                           std::stod(time.substr(14, 2)) * 60 + std::stod(time.substr(17));
    const auto [latitude, longitude] = route.at(20 * (seconds - kExampleStart));
    double metres = 0;
    GeographicLib::Geodesic::WGS84().Inverse(tpv["lat"].get<double>(), tpv["lon"].get<double>(),
                                             latitude, longitude, metres);
    EXPECT_LT(metres, 0.5) << tpv.dump();
    EXPECT_NEAR(tpv["speed"].get<double>(), 20, 0.01) << tpv.dump();
    // The magnetic course follows the route's: true + 2.5 W.
    EXPECT_NEAR(std::remainder(tpv["magtrack"].get<double>() - tpv["track"].get<double>(), 360),
                2.5, 0.011)
        << tpv.dump();
  }
  EXPECT_EQ(simulator.stop(), 0) << simulator.err();
}

}  // namespace
}  // namespace waymock::test
