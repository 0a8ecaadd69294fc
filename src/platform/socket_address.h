#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <optional>
#include <string>

namespace waymock {

// An IPv4 or IPv6 address with its port, in the form the socket calls take.
class SocketAddress {
 public:
  SocketAddress() = default;
  // Copies `length` bytes of a system address (sockaddr_in or sockaddr_in6).
  SocketAddress(const sockaddr* address, socklen_t length);
  static SocketAddress ipv4(in_addr address, int port = 0);

  int family() const { return storage_.ss_family; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage_); }
  sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage_); }
  socklen_t length() const { return length_; }
  // For calls that fill the address in (getsockname): room for either family.
  socklen_t* lengthForUpdate();

  int port() const;
  void setPort(int port);
  // 127.0.0.0/8, ::1 or an IPv4 loopback address mapped into IPv6: reached
  // from this machine only.
  bool isLoopback() const;

 private:
  sockaddr_storage storage_{};
  socklen_t length_ = 0;
};

// A host written as an address: four dotted numbers, strictly (not "127.1"),
// or an IPv6 address without brackets, with an optional zone ("fe80::1%eth0").
// Nothing for anything else, such as a host name.
std::optional<SocketAddress> numericAddress(const std::string& host);

// The address of `host` (an address or a name) for sockets of `socketType`;
// `passive` for an address to listen on. A name with addresses of both kinds
// gives its IPv4 one, so "localhost" stays 127.0.0.1. Nothing when the lookup
// fails; `error` then holds getaddrinfo's code for gai_strerror. May block as
// long as the name servers take.
std::optional<SocketAddress> lookUpHost(const std::string& host, int socketType, bool passive,
                                        int& error);

// What a destination address reaches: one host, every host of a network
// (255.255.255.255, or an interface's directed broadcast such as
// 192.168.1.255 or 127.255.255.255), or the members of a group (224.0.0.0/4,
// ff00::/8). Looks at this machine's interfaces for a directed broadcast.
enum class AddressReach { oneHost, broadcast, multicast };
AddressReach reachOf(const SocketAddress& address);

// "HOST:PORT" as messages show it, an IPv6 address in brackets: "[::1]:10110".
std::string hostPortText(const std::string& host, int port);

}  // namespace waymock
