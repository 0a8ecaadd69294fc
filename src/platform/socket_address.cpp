#include "platform/socket_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace waymock {

SocketAddress::SocketAddress(const sockaddr* address, socklen_t length)
    : length_(std::min<socklen_t>(length, sizeof storage_)) {
  std::memcpy(&storage_, address, length_);
}

SocketAddress SocketAddress::ipv4(in_addr address, int port) {
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  v4.sin_addr = address;
  SocketAddress result(reinterpret_cast<const sockaddr*>(&v4), sizeof v4);
  result.setPort(port);
  return result;
}

socklen_t* SocketAddress::lengthForUpdate() {
  length_ = sizeof storage_;
  return &length_;
}

int SocketAddress::port() const {
  if (family() == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&storage_)->sin_port);
  if (family() == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_port);
  }
  return 0;
}

void SocketAddress::setPort(int port) {
  const auto value = htons(static_cast<std::uint16_t>(port));
  if (family() == AF_INET) reinterpret_cast<sockaddr_in*>(&storage_)->sin_port = value;
  if (family() == AF_INET6) reinterpret_cast<sockaddr_in6*>(&storage_)->sin6_port = value;
}

bool SocketAddress::isLoopback() const {
  if (family() == AF_INET) {
    return (ntohl(reinterpret_cast<const sockaddr_in*>(&storage_)->sin_addr.s_addr) >> 24) == 127;
  }
  if (family() != AF_INET6) return false;
  const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr;
  return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
}

namespace {

using AddressList = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

AddressList lookUp(const std::string& host, int family, int socketType, int flags, int& error) {
  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = socketType;
  hints.ai_flags = flags;
  addrinfo* found = nullptr;
  error = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (error != 0) found = nullptr;
  return AddressList(found, &freeaddrinfo);
}

}  // namespace

std::optional<SocketAddress> numericAddress(const std::string& host) {
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return SocketAddress::ipv4(v4);
  int error = 0;
  // getaddrinfo rather than inet_pton, which knows no zones.
  const AddressList found = lookUp(host, AF_INET6, SOCK_DGRAM, AI_NUMERICHOST, error);
  if (!found) return std::nullopt;
  return SocketAddress(found->ai_addr, found->ai_addrlen);
}

std::optional<SocketAddress> lookUpHost(const std::string& host, int socketType, bool passive,
                                        int& error) {
  error = 0;
  const AddressList found = lookUp(host, AF_UNSPEC, socketType, passive ? AI_PASSIVE : 0, error);
  const addrinfo* chosen = nullptr;
  for (const addrinfo* i = found.get(); i != nullptr; i = i->ai_next) {
    if (i->ai_family != AF_INET && i->ai_family != AF_INET6) continue;
    if (chosen == nullptr || (i->ai_family == AF_INET && chosen->ai_family != AF_INET)) chosen = i;
  }
  if (chosen == nullptr) {
    if (error == 0) error = EAI_NONAME;
    return std::nullopt;
  }
  return SocketAddress(chosen->ai_addr, chosen->ai_addrlen);
}

namespace {

// An interface address's network with its host part all ones; /31 and /32
// networks have none.
bool isDirectedBroadcast(in_addr_t address) {
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return false;
  bool found = false;
  for (const ifaddrs* i = interfaces; i != nullptr && !found; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_netmask == nullptr || i->ifa_addr->sa_family != AF_INET)
      continue;
    const in_addr_t own = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
    const in_addr_t mask = reinterpret_cast<const sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr;
    found = ntohl(mask) < 0xfffffffeU && (own | ~mask) == address;
  }
  freeifaddrs(interfaces);
  return found;
}

}  // namespace

AddressReach reachOf(const SocketAddress& address) {
  if (address.family() == AF_INET) {
    const in_addr_t v4 = reinterpret_cast<const sockaddr_in*>(address.get())->sin_addr.s_addr;
    if (IN_MULTICAST(ntohl(v4))) return AddressReach::multicast;
    if (v4 == INADDR_BROADCAST || isDirectedBroadcast(v4)) return AddressReach::broadcast;
  } else if (address.family() == AF_INET6 &&
             IN6_IS_ADDR_MULTICAST(
                 &reinterpret_cast<const sockaddr_in6*>(address.get())->sin6_addr)) {
    return AddressReach::multicast;
  }
  return AddressReach::oneHost;
}

std::string hostPortText(const std::string& host, int port) {
  const bool ipv6 = host.find(':') != std::string::npos;
  return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace waymock
