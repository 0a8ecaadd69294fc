#include "platform/udp_sender.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include "common/private_network.h"
#include "common/test_support.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/socket_address.h"
#include "support/error.h"

namespace waymock {
namespace {

TEST(UdpSender, SendsEachPayloadAsOneExactDatagram) {
  test::UdpReceiver receiver;
  UdpSender sender("127.0.0.1", receiver.port());
  const std::string burst =
      "$GPZDA,123519.000,23032024,00,00*5D\r\n"
      "$GPGSV,2,2,5,28,5,80,30*78\r\n";
  sender.send(burst);
  sender.send("");
  sender.send(std::string("\x00\xff", 2));
  EXPECT_EQ(receiver.receive(), burst);
  EXPECT_EQ(receiver.receive(), "");
  EXPECT_EQ(receiver.receive(), std::string("\x00\xff", 2));
}

TEST(UdpSender, ResolvesHostNamesAndFollowsANewDestination) {
  test::UdpReceiver first, second;
  UdpSender sender("localhost", first.port());
  ASSERT_TRUE(sender.waitForAddress(std::chrono::seconds(10)));
  sender.send("one");
  EXPECT_EQ(first.receive(), "one");
  sender.setDestination("127.0.0.1", second.port());
  EXPECT_EQ(sender.host(), "127.0.0.1");
  EXPECT_EQ(sender.port(), second.port());
  sender.send("two");
  EXPECT_EQ(second.receive(), "two");
  EXPECT_EQ(first.receive(50), std::nullopt);
}

// IPv6 as a literal and behind a name; the socket follows the family of each
// destination in turn.
TEST(UdpSender, SendsToIpv6AddressesAndNamesAndBackToIpv4) {
  if (!test::hasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback";
  test::UdpReceiver v6(AF_INET6), v4;
  UdpSender sender("::1", v6.port());
  sender.send("literal");
  EXPECT_EQ(v6.receive(), "literal");
  sender.setDestination("127.0.0.1", v4.port());
  sender.send("four");
  EXPECT_EQ(v4.receive(), "four");
  UdpSender named("gps6.example", v6.port(),
                  [](const std::string&) { return *numericAddress("::1"); });
  ASSERT_TRUE(named.waitForAddress(std::chrono::seconds(10)));
  named.send("named");
  EXPECT_EQ(v6.receive(), "named");
}

TEST(UdpSender, ReportsWhatCannotBeSent) {
  struct Case {
    std::string host;
    int port;
    std::string message;
  };
  const Case cases[] = {
      {"no-such-host.invalid", 10110, "Cannot resolve the UDP host \"no-such-host.invalid\": "},
      {"", 10110, "Cannot resolve the UDP host \"\": "},
      {"127.0.0.1", 0, "UDP port 0 is not between 1 and 65535."},
      {"127.0.0.1", 65536, "UDP port 65536 is not between 1 and 65535."},
  };
  for (const auto& c : cases) {
    UdpSender sender(c.host, c.port);
    sender.waitForAddress(std::chrono::seconds(10));
    try {
      sender.send("x");
      ADD_FAILURE() << c.host << ":" << c.port;
    } catch (const IoError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, c.message.size()), c.message);
    }
  }
}

TEST(UdpSender, RecoversAfterAFailedSend) {
  test::UdpReceiver receiver;
  UdpSender sender("no-such-host.invalid", receiver.port());
  EXPECT_THROW(sender.send("lost"), IoError);
  sender.setDestination("127.0.0.1", receiver.port());
  sender.send("found");
  EXPECT_EQ(receiver.receive(), "found");
}

// A name server under the test's control: each lookup waits until the test
// answers it (or ten seconds pass), and notes the thread it ran on. Lookup
// threads may outlive a sender, so they hold it by a shared pointer.
class NameServer : public std::enable_shared_from_this<NameServer> {
 public:
  UdpSender::HostLookup lookup() {
    return [self = shared_from_this()](const std::string& host) { return self->resolve(host); };
  }
  void answer(bool found) {
    std::lock_guard lock(mutex_);
    answers_.push_back(found);
    changed_.notify_all();
  }
  int calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  bool ranOn(std::thread::id thread) const {
    std::lock_guard lock(mutex_);
    return ranOn_ == thread;
  }

 private:
  SocketAddress resolve(const std::string& host) {
    std::unique_lock lock(mutex_);
    ranOn_ = std::this_thread::get_id();
    const std::size_t mine = static_cast<std::size_t>(calls_++);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return answers_.size() > mine; });
    if (answers_.size() <= mine || !answers_[mine]) raiseIo("no answer for " + host);
    in_addr loopback{};
    loopback.s_addr = htonl(INADDR_LOOPBACK);
    return SocketAddress::ipv4(loopback);
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<bool> answers_;
  int calls_ = 0;
  std::thread::id ranOn_;
};

TEST(UdpSender, SendNeverWaitsForANameLookup) {
  test::UdpReceiver receiver;
  auto names = std::make_shared<NameServer>();
  UdpSender sender("gps.example", receiver.port(), names->lookup());
  // Asked while the name server has not answered: the send fails at once and
  // the lookup never runs on the sending thread.
  try {
    sender.send("early");
    ADD_FAILURE() << "sent without an address";
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "The UDP host \"gps.example\" is still being looked up.");
  }
  EXPECT_FALSE(names->ranOn(std::this_thread::get_id()));
  names->answer(true);
  ASSERT_TRUE(sender.waitForAddress(std::chrono::seconds(10)));
  sender.send("found");
  EXPECT_EQ(receiver.receive(), "found");
  EXPECT_EQ(names->calls(), 1);
  // A dotted address needs no lookup at all.
  sender.setDestination("127.0.0.1", receiver.port());
  sender.send("dotted");
  EXPECT_EQ(receiver.receive(), "dotted");
  EXPECT_EQ(names->calls(), 1);
}

TEST(UdpSender, AFailedLookupIsTriedAgainInTheBackground) {
  test::UdpReceiver receiver;
  auto names = std::make_shared<NameServer>();
  names->answer(false);
  UdpSender sender("gps.example", receiver.port(), names->lookup());
  EXPECT_FALSE(sender.waitForAddress(std::chrono::seconds(10)));
  try {
    sender.send("lost");
    ADD_FAILURE() << "sent without an address";
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "no answer for gps.example");
  }
  names->answer(true);
  ASSERT_TRUE(sender.waitForAddress(std::chrono::seconds(10)));
  sender.send("found");
  EXPECT_EQ(receiver.receive(), "found");
  EXPECT_EQ(names->calls(), 2);
}

TEST(UdpSender, ALookupStillRunningHoldsNothingUp) {
  test::UdpReceiver receiver;
  auto names = std::make_shared<NameServer>();
  {
    UdpSender sender("old.example", receiver.port(), names->lookup());
    sender.setDestination("127.0.0.1", receiver.port());
    sender.send("now");
    EXPECT_EQ(receiver.receive(), "now");
  }  // gone while its lookup waits for an answer
  names->answer(true);
  for (int i = 0; i < 1000 && names.use_count() > 1; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(names.use_count(), 1) << "the lookup's thread did not end";
}

// Loopback's own directed broadcast, 127.255.255.255, is on every machine.
TEST(SocketAddress, TellsBroadcastsAndGroupsFromOneHost) {
  const std::pair<const char*, AddressReach> cases[] = {
      {"255.255.255.255", AddressReach::broadcast}, {"127.255.255.255", AddressReach::broadcast},
      {"127.0.0.1", AddressReach::oneHost},         {"224.0.0.251", AddressReach::multicast},
      {"239.255.255.250", AddressReach::multicast}, {"240.0.0.1", AddressReach::oneHost},
      {"ff02::fb", AddressReach::multicast},        {"::1", AddressReach::oneHost},
  };
  for (const auto& [host, reach] : cases) {
    EXPECT_EQ(reachOf(*numericAddress(host)), reach) << host;
  }
}

// In a network of the test's own, where loopback is all there is.
TEST(UdpSender, BroadcastsAndMulticastsReachAReaderOnLoopback) {
  const auto run = test::runInPrivateNetwork([] {
    struct Case {
      const char* host;
      const char* group;
      MulticastOptions multicast;
    } const cases[] = {
        {"127.255.255.255", nullptr, {}},
        {"239.255.10.1", "239.255.10.1", {.interfaceName = "lo"}},
        {"239.255.10.1", "239.255.10.1", {.hops = 4, .interfaceName = "lo"}},
        {"239.255.10.1", "239.255.10.1", {.interfaceName = "nosuch0"}},
    };
    std::string seen;
    for (const Case& c : cases) {
      test::LoopbackReader reader(c.group);
      UdpSender sender(c.host, reader.port(), {}, c.multicast);
      try {
        sender.send("burst");
        seen += reader.receive() + "\n";
      } catch (const IoError& e) {
        seen += std::string(e.what()) + "\n";
      }
    }
    return seen;
  });
  if (!run.skipped.empty()) GTEST_SKIP() << run.skipped;
  EXPECT_EQ(run.result,
            "burst ttl 64\n"
            "burst ttl 1\n"
            "burst ttl 4\n"
            "No network interface \"nosuch0\" to send multicast on.\n");
}

}  // namespace
}  // namespace waymock
