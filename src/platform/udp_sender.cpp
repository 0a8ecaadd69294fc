#include "platform/udp_sender.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/error.h"

namespace waymock {

UdpSender::UdpSender(std::string host, int port) : host_(std::move(host)), port_(port) {}

UdpSender::~UdpSender() {
  if (socket_ >= 0) ::close(socket_);
}

void UdpSender::setDestination(std::string host, int port) {
  if (host != host_) address_.reset();
  host_ = std::move(host);
  port_ = port;
}

sockaddr_in UdpSender::resolve() {
  if (port_ < 1 || port_ > 65535) {
    raiseIo("UDP port " + std::to_string(port_) + " is not between 1 and 65535.");
  }
  if (!address_) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (inet_pton(AF_INET, host_.c_str(), &address.sin_addr) != 1) {
      addrinfo hints{};
      hints.ai_family = AF_INET;
      hints.ai_socktype = SOCK_DGRAM;
      addrinfo* found = nullptr;
      const int rc =
          host_.empty() ? EAI_NONAME : getaddrinfo(host_.c_str(), nullptr, &hints, &found);
      if (rc != 0 || found == nullptr) {
        raiseIo("Cannot resolve the UDP host \"" + host_ + "\": " + gai_strerror(rc) + ".");
      }
      address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
      freeaddrinfo(found);
    }
    address_ = address;
  }
  sockaddr_in address = *address_;
  address.sin_port = htons(static_cast<std::uint16_t>(port_));
  return address;
}

void UdpSender::send(std::string_view payload) {
  const sockaddr_in address = resolve();
  if (socket_ < 0) {
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0)
      raiseIo(std::string("Cannot create a UDP socket: ") + std::strerror(errno) + ".");
  }
  const ssize_t sent = ::sendto(socket_, payload.data(), payload.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (sent < 0) {
    raiseIo("Cannot send to " + host_ + ":" + std::to_string(port_) + ": " + std::strerror(errno) +
            ".");
  }
}

}  // namespace waymock
