#include "platform/udp_sender.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "support/error.h"

namespace waymock {
namespace {

// A UDP socket bound to a free port on 127.0.0.1.
class Receiver {
 public:
  Receiver() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("cannot bind a UDP socket");
    }
    port_ = ntohs(address.sin_port);
  }
  ~Receiver() { ::close(fd_); }
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  int port() const { return port_; }
  // The next datagram, or nothing within the wait.
  std::optional<std::string> receive(int waitMs = 2000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return std::nullopt;
    char buffer[65536];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(n));
  }

 private:
  int fd_;
  int port_ = 0;
};

TEST(UdpSender, SendsEachPayloadAsOneExactDatagram) {
  Receiver receiver;
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
  Receiver first, second;
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
  Receiver receiver;
  UdpSender sender("no-such-host.invalid", receiver.port());
  EXPECT_THROW(sender.send("lost"), IoError);
  sender.setDestination("127.0.0.1", receiver.port());
  sender.send("found");
  EXPECT_EQ(receiver.receive(), "found");
}

}  // namespace
}  // namespace waymock
