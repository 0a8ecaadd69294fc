#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>
#include <string_view>

namespace waymock {

// Sends each payload as one UDP datagram to a host text (dotted IPv4 or a host
// name) and port. The socket is made at the first send and kept; it is never
// bound (the system picks the source address and port) and broadcasting is not
// enabled on it, so a broadcast destination is an error.
class UdpSender {
 public:
  UdpSender() = default;
  UdpSender(std::string host, int port);
  ~UdpSender();
  UdpSender(const UdpSender&) = delete;
  UdpSender& operator=(const UdpSender&) = delete;

  const std::string& host() const { return host_; }
  int port() const { return port_; }
  // Takes effect at the next send; the socket stays.
  void setDestination(std::string host, int port);

  // One datagram whose payload is exactly `payload` (an empty payload is an
  // empty datagram). Throws IoError for an unresolvable host, a port outside
  // 1..65535, or a send the system refuses.
  void send(std::string_view payload);

 private:
  sockaddr_in resolve();

  std::string host_;
  int port_ = 0;
  int socket_ = -1;
  // The address of host_ once resolved; a failed lookup is retried next time.
  std::optional<sockaddr_in> address_;
};

}  // namespace waymock
