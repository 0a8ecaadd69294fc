#pragma once

#include <netinet/in.h>

#include <string>

namespace waymock {

// The IPv4 address and port a server is to listen on, from a host text (a
// dotted address or a name) and a port (0: the system picks one).
//
// Refused with Error, naming "HOST:PORT" and why: a host written in a short
// or odd numeric form ("0", "127.1", "0x7f.1"; 0.0.0.0 is the way to serve
// every interface), a multicast or broadcast address, which the system would
// take but no client could ever reach, and a port outside 0 to 65535. A name
// that does not resolve is an IoError with the resolver's words.
sockaddr_in listenAddress(const std::string& host, int port);

}  // namespace waymock
