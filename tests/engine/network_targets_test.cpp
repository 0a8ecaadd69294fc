#include "engine/network_targets.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/test_support.h"
#include "engine/simulation.h"
#include "engine/simulator_settings.h"
#include "generator/nmea_generator.h"
#include "platform/nmea_socket.h"
#include "platform/tcp_server.h"

namespace waymock {
namespace {

TEST(NetworkTargets, ServesTheListedTargetsUntilClosedAndReportsWhatCannotBeOpened) {
  generator::TTarnNMEAGenerator g;
  Simulation simulation(g);
  test::UdpReceiver first, second;
  SimulatorSettings s;
  s.tcpServer = true;
  s.tcpPort = 0;
  s.udpTargets =
      "127.0.0.1:" + std::to_string(first.port()) + ", localhost:" + std::to_string(second.port());
  NetworkTargets targets;
  std::vector<std::string> problems;
  const auto note = [&](const std::exception& e) { problems.emplace_back(e.what()); };
  targets.open(s, {&simulation}, note);
  EXPECT_TRUE(problems.empty());
  ASSERT_NE(targets.tcp(), nullptr);
  EXPECT_EQ(targets.tcp()->host(), "127.0.0.1");
  EXPECT_EQ(targets.udpTargets(), 2u);

  // Listening on the same port again cannot work; a bad list sends to none.
  s.tcpPort = targets.tcp()->port();
  NetworkTargets second_;
  s.udpTargets += " 10.0.0.1";
  second_.open(s, {}, note);
  ASSERT_EQ(problems.size(), 2u);
  std::ostringstream listen;
  listen << "Cannot listen on 127.0.0.1:" << s.tcpPort << '.';
  EXPECT_EQ(problems[0], listen.str());
  EXPECT_EQ(problems[1], "UDP target: \"10.0.0.1\" is not HOST:PORT with a port from 1 to 65535.");
  EXPECT_EQ(second_.tcp(), nullptr);
  EXPECT_EQ(second_.udpTargets(), 0u);

  targets.close();
  EXPECT_EQ(targets.tcp(), nullptr);
  EXPECT_EQ(targets.udpTargets(), 0u);

  // The NMEA socket, with the TCP server's clients, until closed.
  test::TempDir dir;
  s = SimulatorSettings{};
  s.nmeaSocket = true;
  s.nmeaSocketPath = (dir / "nmea.sock").string();
  targets.open(s, {&simulation}, note);
  ASSERT_NE(targets.nmeaSocket(), nullptr);
  EXPECT_EQ(targets.nmeaSocket()->path(), s.nmeaSocketPath);
  test::TcpClient reader(s.nmeaSocketPath);
  targets.close();
  EXPECT_FALSE(std::filesystem::exists(s.nmeaSocketPath));
  EXPECT_EQ(problems.size(), 2u);
}

}  // namespace
}  // namespace waymock
