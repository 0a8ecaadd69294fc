#include "platform/tcp_server.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/test_support.h"
#include "platform/nmea_socket.h"
#include "support/error.h"

namespace waymock {
namespace {

using namespace std::chrono_literals;

// Burst `n` of `size` bytes: one line that names its number, so a stream shows
// which bursts arrived and whether any arrived cut.
std::string burst(int n, std::size_t size = 64) {
  std::string text = "$B," + std::to_string(n) + ",";
  text.append(size - text.size() - 2, 'x');
  return text + "\r\n";
}

// The numbers of the bursts in `stream`; nothing when any of it is not a
// whole burst of `size` bytes.
std::optional<std::vector<int>> wholeBursts(const std::string& stream, std::size_t size = 64) {
  std::vector<int> numbers;
  for (std::size_t at = 0; at < stream.size(); at += size) {
    if (stream.compare(at, 3, "$B,") != 0) return std::nullopt;
    const int n = std::stoi(stream.substr(at + 3));
    if (stream.compare(at, size, burst(n, size)) != 0) return std::nullopt;
    numbers.push_back(n);
  }
  return numbers;
}

// Polls a condition a bounded number of times.
template <typename Condition>
bool eventually(Condition condition) {
  for (int i = 0; i < 500; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

TEST(TcpServer, EveryClientReceivesTheSameWholeBurstsAndItsInputIsIgnored) {
  TcpServer server("127.0.0.1", 0);
  test::TcpClient first(server.port()), second(server.port());
  ASSERT_TRUE(eventually([&] { return server.clientCount() == 2; }));
  first.write("?WATCH={\"enable\":true}\r\n");
  std::string all;
  for (int n = 0; n < 5; ++n) {
    server.send(burst(n));
    all += burst(n);
  }
  for (test::TcpClient* client : {&first, &second}) {
    EXPECT_TRUE(client->readUntil([&](const std::string& r) { return r.size() >= all.size(); }));
    EXPECT_EQ(client->received(), all);
  }
}

TEST(TcpServer, AStalledClientLosesOldBurstsWithoutSlowingOthersAndIsDisconnected) {
  constexpr std::size_t kSize = 8192;
  TcpServer::Limits limits;
  limits.stallLimit = 300ms;
  TcpServer server("127.0.0.1", 0, limits);
  test::TcpClient stalled(server.port(), 4096), reader(server.port());
  ASSERT_TRUE(eventually([&] { return server.clientCount() == 2; }));

  int sent = 0;
  std::string expected;
  // Each burst reaches the reading client before the next is sent, however
  // full the stalled client's queue is.
  for (; sent < 2000 && server.stalledDisconnects() == 0; ++sent) {
    server.send(burst(sent, kSize));
    expected += burst(sent, kSize);
    ASSERT_TRUE(
        reader.readUntil([&](const std::string& r) { return r.size() == expected.size(); }));
    EXPECT_LE(server.queuedBytes(), limits.queueBytes + kSize);
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(server.stalledDisconnects(), 1u);
  EXPECT_TRUE(eventually([&] { return server.clientCount() == 1; }));
  EXPECT_EQ(reader.received(), expected);

  // What the stalled client got before it was dropped: whole bursts, in
  // order, with the oldest of its backlog missing; only the burst that the
  // disconnection cut short can be incomplete.
  stalled.readUntil([](const std::string&) { return false; }, 5000);
  EXPECT_TRUE(stalled.closed());
  const std::string& stream = stalled.received();
  const std::size_t whole = stream.size() - stream.size() % kSize;
  const std::string cut = stream.substr(whole);
  EXPECT_TRUE(cut.empty() || (cut[0] == '$' && cut.find('$', 1) == std::string::npos)) << cut;
  const auto got = wholeBursts(stream.substr(0, whole), kSize);
  ASSERT_TRUE(got.has_value());
  ASSERT_FALSE(got->empty());
  EXPECT_LT(got->size(), static_cast<std::size_t>(sent));
  for (std::size_t i = 1; i < got->size(); ++i) EXPECT_LT((*got)[i - 1], (*got)[i]);
}

TEST(TcpServer, AClientJoiningMidRunReceivesWholeBurstsOnly) {
  TcpServer server("127.0.0.1", 0);
  std::optional<test::TcpClient> late;
  int sent = 0;
  for (; sent < 200; ++sent) {
    server.send(burst(sent));
    if (sent == 20) late.emplace(server.port());
  }
  ASSERT_TRUE(eventually([&] { return server.clientCount() == 1; }));
  server.send(burst(sent));
  ASSERT_TRUE(late->readUntil([&](const std::string& r) { return r.ends_with(burst(sent)); }));
  const auto got = wholeBursts(late->received());
  ASSERT_TRUE(got.has_value()) << late->received();
  for (std::size_t i = 1; i < got->size(); ++i) EXPECT_EQ((*got)[i - 1] + 1, (*got)[i]);
}

// A client that closes its sending side (as `nc -N` or a one-shot script
// does) still wants the stream; one beyond the cap is closed at once while
// those within it go on receiving.
TEST(TcpServer, AHalfClosedClientGoesOnReceivingAndClientsBeyondTheCapAreRefused) {
  TcpServer::Limits limits;
  limits.maxClients = 2;
  TcpServer server("127.0.0.1", 0, limits);
  EXPECT_EQ(server.clientCap(), 2u);
  test::TcpClient halfClosed(server.port()), other(server.port());
  ASSERT_TRUE(eventually([&] { return server.clientCount() == 2; }));
  halfClosed.finishSending();
  test::TcpClient refused(server.port());
  ASSERT_TRUE(eventually([&] { return server.refusedClients() == 1; }));
  EXPECT_EQ(server.firstRefusal(), TcpServer::Refusal::maxClients);
  std::string all;
  for (int n = 0; n < 3; ++n) {
    server.send(burst(n));
    all += burst(n);
    std::this_thread::sleep_for(20ms);
  }
  for (test::TcpClient* client : {&halfClosed, &other}) {
    EXPECT_TRUE(client->readUntil([&](const std::string& r) { return r == all; }));
  }
  EXPECT_FALSE(refused.readUntil([](const std::string& r) { return !r.empty(); }, 1000));
  EXPECT_TRUE(refused.closed());
  EXPECT_EQ(server.clientCount(), 2u);
}

TEST(TcpServer, ListensOnIpv6AndRefusesAnIpv6Multicast) {
  if (!test::hasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback";
  TcpServer server("::1", 0);
  test::TcpClient client(server.port(), 0, AF_INET6);
  for (int i = 0; i < 500 && server.clientCount() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  server.send("$GPZDA\r\n");
  EXPECT_TRUE(client.readUntil([](const std::string& r) { return r == "$GPZDA\r\n"; }));
  try {
    TcpServer multicast("ff02::1", 10110);
    ADD_FAILURE() << "listened on a multicast address";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(),
                 "Cannot listen on [ff02::1]:10110: ff02::1 is a multicast address, which no "
                 "client can connect to; listen on an address of this machine, or on 0.0.0.0 "
                 "for every interface.");
  }
}

TEST(TcpServer, APortInUseOrAnUnknownHostIsAClearError) {
  TcpServer first("127.0.0.1", 0);
  const std::string where = "127.0.0.1:" + std::to_string(first.port());
  try {
    TcpServer second("127.0.0.1", first.port());
    ADD_FAILURE() << "a second server listened on " << where;
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot listen on " + where + ".");
    EXPECT_EQ(e.systemText(), "Address already in use");
  }
  EXPECT_THROW(TcpServer("no-such-host.invalid", 10110), IoError);
}

// The Unix socket serves as the TCP server does, to any local user; a second
// simulator cannot take it, and the socket file goes with the server.
TEST(NmeaSocketServer, ReadersGetWholeBurstsAndTheSocketGoesWithTheServer) {
  test::TempDir dir;
  const std::string path = (dir / "nmea.sock").string();
  {
    NmeaSocketServer socket(path);
    test::TcpClient reader(path);
    ASSERT_TRUE(eventually([&] { return socket.server().clientCount() == 1; }));
    socket.server().send(burst(2));
    socket.server().send(burst(3));
    ASSERT_TRUE(reader.readUntil([](const std::string& r) { return r.size() >= 128; }));
    EXPECT_EQ(wholeBursts(reader.received()), std::vector<int>({2, 3}));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666u);
    try {
      NmeaSocketServer again(path);
      ADD_FAILURE() << "listened twice";
    } catch (const IoError& e) {
      EXPECT_EQ(std::string(e.what()), "Another simulator listens on " + path + ".");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  test::EnvGuard runtime("XDG_RUNTIME_DIR", dir.path().string());
  EXPECT_EQ(NmeaSocketServer::defaultPath(), (dir / "waymock" / "nmea.sock").string());
}

}  // namespace
}  // namespace waymock
