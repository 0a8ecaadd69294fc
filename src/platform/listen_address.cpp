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

sockaddr_in listenAddress(const std::string& host, int port) {
  const std::string where = host + ":" + std::to_string(port);
  const auto refuse = [&where](const std::string& why) {
    raise("Cannot listen on " + where + ": " + why);
  };
  in_addr numeric{};
  if (inet_aton(host.c_str(), &numeric) != 0 && inet_pton(AF_INET, host.c_str(), &numeric) != 1) {
    refuse(host +
           " is not an address of four numbers such as 127.0.0.1; 0.0.0.0 listens on "
           "every interface.");
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    raiseIo("Cannot listen on " + where + ": " + gai_strerror(rc) + ".");
  }
  sockaddr_in address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  freeaddrinfo(found);
  if (port < 0 || port > 65535) refuse("no such port.");
  address.sin_port = htons(static_cast<std::uint16_t>(port));

  const std::uint32_t value = ntohl(address.sin_addr.s_addr);
  const char* kind = IN_MULTICAST(value) ? "multicast"
                     : value == INADDR_BROADCAST || isInterfaceBroadcast(address.sin_addr)
                         ? "broadcast"
                         : nullptr;
  if (kind != nullptr) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    refuse(std::string(text) + " is a " + kind +
           " address, which no client can connect to; listen on an address of this machine, or "
           "on 0.0.0.0 for every interface.");
  }
  return address;
}

}  // namespace waymock
