// Several network targets at once: TCP clients and UDP listeners get the same
// bursts as the serial client.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/test_support.h"

namespace waymock {
namespace {

using namespace std::chrono_literals;
using test::cliPath;

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
  const int port = test::freeLoopbackPort(SOCK_STREAM);
  test::BackgroundProcess run(
      runArgs({"--virtual", (dir / "gps").string(), "--interval", "0.05", "--tcp",
               std::to_string(port), "--udp", "127.0.0.1:" + std::to_string(udp1.port()), "--udp",
               "127.0.0.1:" + std::to_string(udp2.port())}));
  ASSERT_TRUE(run.waitForOutput([](const std::string& out) { return !out.empty(); }, 10s))
      << run.err();
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

TEST(CliTargets, RefusesATcpPortInUseOrMalformedBeforeSendingAnything) {
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
  struct Case {
    std::string tcp;
    int exitCode;
    std::string err;
  } const cases[] = {
      {port, 1, "waymock-cli: Cannot listen on 127.0.0.1:" + port + ".\n"},
      {"127.0.0.1:" + port, 1, "waymock-cli: Cannot listen on 127.0.0.1:" + port + ".\n"},
      {"port", 2, "waymock-cli: --tcp: \"port\" is not [HOST:]PORT with a port from 1 to 65535.\n"},
      {"0", 2, "waymock-cli: --tcp: \"0\" is not [HOST:]PORT with a port from 1 to 65535.\n"},
  };
  for (const auto& c : cases) {
    const auto r = test::runProcess(
        runArgs({"--virtual", (dir / "gps").string(), "--count", "1", "--tcp", c.tcp}), {}, 10s);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.tcp;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  ::close(busy);
}

TEST(CliRun, WarnsOnceWhenTheBurstDoesNotFitTheLine) {
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
  for (const char* baud : {"4800", "38400"}) {
    SCOPED_TRACE(baud);
    const auto r = test::runProcess(runArgs({"--virtual", (dir / "gps").string(), "--satellites",
                                             (dir / "satellites.ini").string(), "--baud", baud,
                                             "--count", "2", "--interval", "1"}),
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
    if (std::string(baud) == "4800") {
      EXPECT_NE(r.err.find(warning), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find("A burst"), r.err.rfind("A burst")) << r.err;  // once
    } else {
      EXPECT_EQ(r.err.find("A burst"), std::string::npos) << r.err;
    }
  }
}

}  // namespace
}  // namespace waymock
