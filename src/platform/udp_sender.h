#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/socket_address.h"

namespace waymock {

// How datagrams to a multicast group travel: how many routers they may cross
// (the IPv4 TTL or IPv6 hop limit; 1 keeps them on the local network) and
// which interface sends them (empty: the one the routing table picks).
struct MulticastOptions {
  int hops = 1;
  std::string interfaceName;
};

// Sends each payload as one UDP datagram to a host text (dotted IPv4, an IPv6
// address, or a host name) and port. The socket is made at the first send and
// kept while the destination's address family stays; it is never bound (the
// system picks the source address and port). A broadcast destination
// (255.255.255.255 or an interface's directed broadcast) gets broadcasting
// enabled on the socket; a multicast group gets the MulticastOptions.
//
// A host name is looked up on a thread of its own when the destination is set,
// and again after a failed lookup, so that send() never waits for a name
// server; a dotted address needs no lookup at all.
class UdpSender {
 public:
  // The address of a host name (its IPv4 one when it has both kinds); throws
  // IoError when there is none. May block as long as the name servers take.
  // Empty: systemLookup.
  using HostLookup = std::function<SocketAddress(const std::string& host)>;
  static SocketAddress systemLookup(const std::string& host);

  UdpSender();
  UdpSender(std::string host, int port, HostLookup lookup = {}, MulticastOptions multicast = {});
  // Never waits for a lookup in progress: its result is dropped, and its
  // thread ends when the lookup returns.
  ~UdpSender();
  UdpSender(const UdpSender&) = delete;
  UdpSender& operator=(const UdpSender&) = delete;

  const std::string& host() const { return host_; }
  int port() const { return port_; }
  // Takes effect at the next send; the socket stays. A new host name starts
  // its lookup; the same host keeps its address.
  void setDestination(std::string host, int port);
  // Waits up to `timeout` for the lookup of the current host; true when its
  // address is known. For a front end that wants its first bursts to go out.
  bool waitForAddress(std::chrono::milliseconds timeout);

  // One datagram whose payload is exactly `payload` (an empty payload is an
  // empty datagram). Throws IoError for a host whose address is not known (yet,
  // or at all: the lookup is then tried again in the background), a port
  // outside 1..65535, a multicast interface that does not exist, or a send
  // the system refuses. Never waits for a lookup.
  void send(std::string_view payload);

 private:
  struct Lookup;
  void setHost(std::string host);
  SocketAddress address();
  void prepareSocket(const SocketAddress& destination);

  std::string host_;
  int port_ = 0;
  int socket_ = -1;
  int socketFamily_ = 0;
  MulticastOptions multicast_;
  // The destination the socket's options were last set for (port 0).
  std::optional<SocketAddress> preparedFor_;
  HostLookup resolve_;
  // The address of the host: known at once for a host written as an address,
  // else looked up. Shared with the lookup's thread, which may outlive it.
  std::shared_ptr<Lookup> lookup_;
};

}  // namespace waymock
