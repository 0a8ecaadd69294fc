// Several network targets at once: TCP clients and UDP listeners get the same
// bursts as the serial client.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/private_network.h"
#include "common/test_support.h"
#include "receiver/receiver_test_support.h"

namespace waymock {
namespace {

using namespace std::chrono_literals;
using test::cliPath;
using test::countOf;

const std::vector<std::string> kFix = {"--lat", "48:07:02.28N", "--lon", "011:31:00E"};

std::vector<std::string> runArgs(const std::vector<std::string>& args) {
  std::vector<std::string> all = {cliPath(), "run"};
  all.insert(all.end(), kFix.begin(), kFix.end());
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

TEST(CliTargets, TcpClientsAndSeveralUdpListenersGetEveryBurst) {
  test::TempDir dir;
  test::UdpReceiver udp1, udp2;
  test::BackgroundProcess run(
      runArgs({"--virtual=" + (dir / "gps").string(), "--interval", "0.05", "--tcp", "0", "--tcp",
               "0", "--udp", "127.0.0.1:" + std::to_string(udp1.port()), "--udp",
               "127.0.0.1:" + std::to_string(udp2.port())}));
  ASSERT_TRUE(run.waitForOutput([](const std::string& out) { return !out.empty(); }, 10s))
      << run.err();
  // Port 0: the system picked one, and standard error names it; a second
  // port 0 is another port, not the same address twice.
  const int port = test::tcpPortOf(run);
  ASSERT_GT(port, 0) << run.err();
  EXPECT_NE(test::tcpPortOf(run, 1), port) << run.err();
  EXPECT_GT(test::tcpPortOf(run, 1), 0) << run.err();
  EXPECT_NE(run.err().find("waymock-cli: TCP clients connect to 127.0.0.1:" + std::to_string(port) +
                           "\n"),
            std::string::npos)
      << run.err();

  test::TcpClient client(port);
  ASSERT_TRUE(client.readUntil([](const std::string& r) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = r.find("$GPZDA", at)) != std::string::npos; ++at) ++n;
    return n >= 4;
  }));
  // Whole bursts from the first one after connecting: each is one of those
  // echoed, and so is each datagram.
  // The echo is built anew, so only its time of day and checksums may differ.
  const auto timeless = [](const std::string& text) {
    static const std::regex time(R"(\d{6}\.\d{3}|\*[0-9A-F]{2})");
    return std::regex_replace(text, time, "");
  };
  const auto echoed = [&](const std::string& burst) {
    return timeless(run.out()).find(timeless(burst) + "\r\n") != std::string::npos;
  };
  const std::string& received = client.received();
  ASSERT_TRUE(received.starts_with("$GPZDA")) << received;
  for (std::size_t at = 0, next; (next = received.find("$GPZDA", at + 1)) != std::string::npos;
       at = next) {
    const std::string burst = received.substr(at, next - at);
    EXPECT_TRUE(echoed(burst)) << burst;
  }
  for (test::UdpReceiver* udp : {&udp1, &udp2}) {
    const auto datagram = udp->receive(2000);
    ASSERT_TRUE(datagram.has_value());
    EXPECT_TRUE(echoed(*datagram)) << *datagram;
  }
  EXPECT_EQ(run.stop(), 0) << run.err();
}

TEST(CliTargets, RefusesWhatItCannotServeBeforeSendingAnything) {
  test::TempDir dir;
  const int busy = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(busy, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(busy, 1), 0);
  ::getsockname(busy, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));
  const std::string inUse =
      "waymock-cli: Cannot listen on 127.0.0.1:" + port + ". Address already in use.\n";
  const std::string unreachable =
      " address, which no client can connect to; listen on an address of this machine, or on "
      "0.0.0.0 for every interface.\n";
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  } const cases[] = {
      {{"--tcp", port}, 1, inUse},
      {{"--tcp", "127.0.0.1:" + port}, 1, inUse},
      {{"--tcp", "port"},
       2,
       "waymock-cli: --tcp: \"port\" is not [HOST:]PORT with a port from 0 to 65535.\n"},
      {{"--tcp", "65536"},
       2,
       "waymock-cli: --tcp: \"65536\" is not [HOST:]PORT with a port from 0 to 65535.\n"},
      {{"--tcp", "0:10110"},
       2,
       "waymock-cli: Cannot listen on 0:10110: 0 is not an address of four numbers such as "
       "127.0.0.1; 0.0.0.0 listens on every interface.\n"},
      {{"--tcp", "255.255.255.255:10110"},
       2,
       "waymock-cli: Cannot listen on 255.255.255.255:10110: 255.255.255.255 is a broadcast" +
           unreachable},
      {{"--tcp", "224.0.0.1:10110"},
       2,
       "waymock-cli: Cannot listen on 224.0.0.1:10110: 224.0.0.1 is a multicast" + unreachable},
      {{"--tcp", "10110", "--tcp", "127.0.0.1:10110"},
       2,
       "waymock-cli: --tcp: 127.0.0.1:10110 is given twice.\n"},
      {{"--udp", "127.0.0.1:10110", "--udp", "127.0.0.1:10110"},
       2,
       "waymock-cli: --udp: 127.0.0.1:10110 is given twice.\n"},
      {{"--tcp-max-clients", "0"}, 2, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--virtual=" + (dir / "gps").string(), "--count", "1"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = test::runProcess(runArgs(args), {}, 10s);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1];
    if (!c.err.empty()) {
      EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(r.out, "");
  }
  ::close(busy);
}

// Polls a condition a bounded number of times.
bool eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 500 && !condition(); ++i) std::this_thread::sleep_for(10ms);
  return condition();
}

// Clients beyond --tcp-max-clients, or beyond what the limit of open files
// leaves, are closed at once, said once, and the run goes on: a looped replay
// still opens its log for every pass.
TEST(CliTargets, ClientsBeyondTheCapOrTheDescriptorLimitAreRefusedAndTheRunGoesOn) {
  test::TempDir dir;
  std::string log;
  for (const char* time : {"100000", "100001", "100002"}) {
    log += receiver::test::line(std::string("$GPRMC,") + time +
                                ",A,4807.038,N,01131.000,E,022.4,084.4,230394,,");
  }
  test::writeFile(dir / "short.log", log);
  struct Case {
    std::vector<std::string> command;
    std::size_t clients;
    std::string said;  // after "TCP 127.0.0.1:PORT: "
  };
  const Case cases[] = {
      {runArgs({"--virtual=" + (dir / "gps").string(), "--interval", "0.05", "--tcp", "0",
                "--tcp-max-clients", "2"}),
       3, "2 clients, the most --tcp-max-clients allows; further clients are refused.\n"},
      {{"/bin/sh", "-c", "ulimit -n 40 && exec \"$0\" \"$@\"", cliPath(), "replay",
        (dir / "short.log").string(), "--loop", "--delay", "20",
        "--virtual=" + (dir / "gps").string(), "--tcp", "0"},
       60,
       "the process is near its limit of 40 open files (ulimit -n); further clients are refused "
       "until some leave.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command[1]);
    test::BackgroundProcess run(c.command);
    ASSERT_TRUE(run.waitForOutput([](const std::string& out) { return !out.empty(); }, 10s))
        << run.err();
    const int port = test::tcpPortOf(run);
    ASSERT_GT(port, 0) << run.err();
    const std::string said = "waymock-cli: TCP 127.0.0.1:" + std::to_string(port) + ": " + c.said;
    std::vector<std::unique_ptr<test::TcpClient>> clients;
    for (std::size_t i = 0; i < c.clients; ++i) {
      clients.push_back(std::make_unique<test::TcpClient>(port));
    }
    ASSERT_TRUE(eventually([&] { return run.err().find(said) != std::string::npos; })) << run.err();
    // The first client is served, the last one was closed at once.
    EXPECT_TRUE(
        clients.front()->readUntil([](const std::string& r) { return countOf(r, "$GPRMC") >= 3; }));
    EXPECT_FALSE(clients.back()->readUntil([](const std::string& r) { return !r.empty(); }));
    EXPECT_TRUE(clients.back()->closed());
    // The run goes on.
    const std::size_t echoed = countOf(run.out(), "\r\n\r\n");
    EXPECT_TRUE(run.waitForOutput(
        [&](const std::string& out) { return countOf(out, "\r\n\r\n") >= echoed + 5; }, 10s));
    EXPECT_EQ(run.stop(), 0) << run.err();
    EXPECT_EQ(countOf(run.err(), said), 1u) << run.err();
  }
}

// A serial device that takes nothing (its output suspended) makes each write
// wait out its time-out; the TCP client still gets a burst every interval.
TEST(CliTargets, NetworkTargetsGetEachBurstOnTimeWhileTheSerialDeviceTakesNothing) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  ASSERT_EQ(tcflow(slave, TCOOFF), 0);
  test::BackgroundProcess run(runArgs({"--port", name, "--interval", "0.1", "--tcp", "0"}));
  ASSERT_TRUE(eventually([&] { return run.err().find("took no data") != std::string::npos; }))
      << run.err();
  test::TcpClient client(test::tcpPortOf(run));
  // Ten intervals, given five times as long; each tick used to wait out the
  // serial write first, over a second.
  ASSERT_TRUE(
      client.readUntil([](const std::string& r) { return countOf(r, "$GPZDA") >= 10; }, 5000));
  EXPECT_EQ(run.out(), "");  // the port took nothing
  EXPECT_EQ(run.stop(), 0) << run.err();
  ::close(master);
  ::close(slave);
}

// Only a real serial line has a rate; the virtual port has none.
TEST(CliRun, WarnsOnceWhenTheBurstDoesNotFitTheLineOfARealDevice) {
  test::TempDir dir;
  std::string satellites;
  for (int prn = 1; prn <= 12; ++prn) {
    // Appends, not "[" + ...: GCC 12 at -O3 misreads that join (-Wrestrict).
    satellites += '[';
    satellites += std::to_string(prn);
    satellites += "]\r\nActive=1\r\nElevation=45\r\nAzimuth=";
    satellites += std::to_string(prn * 25);
    satellites += "\r\nSNR=40\r\n";
  }
  test::writeFile(dir / "satellites.ini", satellites);
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  struct Case {
    std::string port;
    const char* baud;
    bool warned;
  } const cases[] = {
      {std::string("--port=") + name, "4800", true},
      {std::string("--port=") + name, "38400", false},
      {"--virtual=" + (dir / "gps").string(), "4800", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.port + " " + c.baud);
    const auto r =
        test::runProcess(runArgs({c.port, "--satellites", (dir / "satellites.ini").string(),
                                  "--baud", c.baud, "--count", "2", "--interval", "1"}),
                         {}, 10s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::size_t bytes = r.out.find("\r\n\r\n") + 2;
    ASSERT_GT(bytes, 480u);  // 12 satellites need more than a second at 4800 baud
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(bytes) / 480);
    const std::string warning = "waymock-cli: A burst of " + std::to_string(bytes) +
                                " bytes takes " + seconds +
                                " s on the line at 4800 baud, longer than the interval of 1 s; "
                                "9600 baud is the lowest rate that fits.\n";
    if (c.warned) {
      EXPECT_NE(r.err.find(warning), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find("A burst"), r.err.rfind("A burst")) << r.err;  // once
    } else {
      EXPECT_EQ(r.err.find("A burst"), std::string::npos) << r.err;
    }
  }
  ::close(master);
  ::close(slave);
}

// IPv6 literals in brackets for both network targets.
TEST(CliTargets, TcpAndUdpOverIpv6) {
  if (!test::hasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback";
  test::TempDir dir;
  test::UdpReceiver udp(AF_INET6);
  test::BackgroundProcess run(
      runArgs({"--virtual=" + (dir / "gps").string(), "--interval", "0.05", "--tcp", "[::1]:0",
               "-u", "[::1]:" + std::to_string(udp.port())}));
  ASSERT_TRUE(run.waitForOutput([](const std::string& out) { return !out.empty(); }, 10s))
      << run.err();
  const int port = test::tcpPortOf(run);
  EXPECT_NE(
      run.err().find("waymock-cli: TCP clients connect to [::1]:" + std::to_string(port) + "\n"),
      std::string::npos)
      << run.err();
  test::TcpClient client(port, 0, AF_INET6);
  EXPECT_TRUE(client.readUntil([](const std::string& r) { return countOf(r, "$GPRMC") >= 2; }));
  const auto datagram = udp.receive(2000);
  ASSERT_TRUE(datagram.has_value());
  EXPECT_TRUE(datagram->starts_with("$GPZDA")) << *datagram;
  EXPECT_EQ(run.stop(), 0) << run.err();

  // Brackets alone are taken away by the option parser: "[::1]" arrives as "::1".
  const std::pair<std::string, std::string> refused[] = {
      {"::1:10110",
       "waymock-cli: --udp: \"::1:10110\" is not HOST:PORT; an IPv6 host goes in "
       "brackets, as in [::1]:10110.\n"},
      {"[::1]",
       "waymock-cli: --udp: \"::1\" is not HOST:PORT; an IPv6 host goes in brackets, as "
       "in [::1]:10110.\n"},
      {"[::1]:", "waymock-cli: --udp: \"[::1]:\" is not HOST:PORT with a port from 1 to 65535.\n"},
  };
  for (const auto& [target, message] : refused) {
    const auto r =
        test::runProcess(runArgs({"--virtual=" + (dir / "gps").string(), "-c1", "-u", target}));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, message);
  }
}

// The real program in a network of the test's own, where loopback is all
// there is: a broadcast reaches a reader, and a reader of the NMEA socket
// gets whole bursts. The fix is 48 07.0380 N, 11 31.0000 E in GGA's form.
TEST(CliTargets, BroadcastsAndServesTheNmeaSocketInAPrivateNetwork) {
  test::TempDir dir;
  const std::string socket = (dir / "nmea.sock").string();
  const auto run = test::runInPrivateNetwork([&] {
    ::setenv("LC_ALL", test::kDecimalCommaLocale, 1);
    test::LoopbackReader broadcast;
    test::BackgroundProcess cli(
        runArgs({"--virtual=" + (dir / "gps").string(), "--interval", "0.1", "--lat-step", "0",
                 "--lon-step", "0", "--udp", "127.255.255.255:" + std::to_string(broadcast.port()),
                 "--nmea-socket=" + socket, "-q"}));
    const std::string datagram = broadcast.receive(10000);
    test::TcpClient reader(socket);
    reader.readUntil([](const std::string& r) { return countOf(r, "$GPZDA") >= 3; });
    const std::string& stream = reader.received();
    static const std::regex fix(R"(\$GPGGA,[0-9.]+,4807\.0380,N,01131\.0000,E,)");
    const auto fixes = std::distance(std::sregex_iterator(stream.begin(), stream.end(), fix),
                                     std::sregex_iterator());
    std::string seen = datagram.substr(0, 6) + " " + datagram.substr(datagram.rfind(' ') + 1) +
                       "\n" + stream.substr(0, 6) + " " +
                       (fixes > 0 && fixes == static_cast<long>(countOf(stream, "$GPGGA"))
                            ? "the fix in every GGA"
                            : "GGA without the fix") +
                       "\n";
    cli.stop();
    seen += std::filesystem::exists(socket) ? "socket left\n" : "socket gone\n";
    return seen + cli.err();
  });
  if (!run.skipped.empty()) GTEST_SKIP() << run.skipped;
  // The datagram's TTL is the system's default for a broadcast, 64.
  EXPECT_TRUE(run.result.starts_with("$GPZDA 64\n$GPZDA the fix in every GGA\nsocket gone\n"))
      << run.result;
  EXPECT_NE(run.result.find("waymock-cli: NMEA readers connect to " + socket + "\n"),
            std::string::npos)
      << run.result;
}

}  // namespace
}  // namespace waymock
