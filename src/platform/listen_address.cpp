#include "platform/listen_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstdint>
#include <memory>

#include "support/error.h"

namespace waymock {

namespace {

// The broadcast address of one of this machine's interfaces.
bool isInterfaceBroadcast(in_addr address) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
  for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if ((i->ifa_flags & IFF_BROADCAST) == 0 || i->ifa_broadaddr == nullptr ||
        i->ifa_broadaddr->sa_family != AF_INET) {
      continue;
    }
    if (reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr == address.s_addr) {
      return true;
    }
  }
  return false;
}

}  // namespace

SocketAddress listenAddress(const std::string& host, int port) {
  const std::string where = hostPortText(host, port);
  const auto refuse = [&where](const std::string& why) {
    raise("Cannot listen on " + where + ": " + why);
  };
  in_addr numeric{};
  if (inet_aton(host.c_str(), &numeric) != 0 && inet_pton(AF_INET, host.c_str(), &numeric) != 1) {
    refuse(host +
           " is not an address of four numbers such as 127.0.0.1; 0.0.0.0 listens on "
           "every interface.");
  }
  int error = 0;
  auto found = lookUpHost(host, SOCK_STREAM, true, error);
  if (!found) raiseIo("Cannot listen on " + where + ": " + resolverErrorText(error) + ".");
  SocketAddress address = *found;
  if (port < 0 || port > 65535) refuse("no such port.");
  address.setPort(port);

  const char* kind = nullptr;
  char text[INET6_ADDRSTRLEN] = {};
  if (address.family() == AF_INET) {
    const in_addr v4 = reinterpret_cast<const sockaddr_in*>(address.get())->sin_addr;
    const std::uint32_t value = ntohl(v4.s_addr);
    kind = IN_MULTICAST(value)                                     ? "multicast"
           : value == INADDR_BROADCAST || isInterfaceBroadcast(v4) ? "broadcast"
                                                                   : nullptr;
    inet_ntop(AF_INET, &v4, text, sizeof text);
  } else {
    const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(address.get())->sin6_addr;
    kind = IN6_IS_ADDR_MULTICAST(&v6) ? "multicast" : nullptr;
    inet_ntop(AF_INET6, &v6, text, sizeof text);
  }
  if (kind != nullptr) {
    refuse(std::string(text) + " is a " + kind +
           " address, which no client can connect to; listen on an address of this machine, or "
           "on 0.0.0.0 for every interface.");
  }
  return address;
}

}  // namespace waymock
