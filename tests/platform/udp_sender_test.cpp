#include "platform/udp_sender.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include "common/test_support.h"

#include <optional>
#include <string>

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
  sender.send("one");
  EXPECT_EQ(first.receive(), "one");
  sender.setDestination("127.0.0.1", second.port());
  EXPECT_EQ(sender.host(), "127.0.0.1");
  EXPECT_EQ(sender.port(), second.port());
  sender.send("two");
  EXPECT_EQ(second.receive(), "two");
  EXPECT_EQ(first.receive(50), std::nullopt);
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

}  // namespace
}  // namespace waymock
