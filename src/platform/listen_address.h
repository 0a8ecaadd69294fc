#pragma once

#include <string>

#include "platform/socket_address.h"

namespace waymock {

// The address and port a server is to listen on, from a host text (a dotted
// IPv4 address, an IPv6 address, or a name, whose IPv4 address is taken when
// it has both kinds) and a port (0: the system picks one).
//
// Refused with Error, naming "HOST:PORT" and why: a host written in a short
// or odd numeric form ("0", "127.1", "0x7f.1"; 0.0.0.0 is the way to serve
// every interface), a multicast or broadcast address, which the system would
// take but no client could ever reach, and a port outside 0 to 65535. A name
// that does not resolve is an IoError with the resolver's words.
SocketAddress listenAddress(const std::string& host, int port);

}  // namespace waymock
