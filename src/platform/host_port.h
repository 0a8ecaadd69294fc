#pragma once

#include <string>
#include <vector>

namespace waymock {

// A host as given (an IPv6 address without its brackets) and a port.
struct HostPort {
  std::string host;
  int port = 0;
};

// How an address is read where the user writes one: a host to send to, or one
// of this machine's to listen on, where port 0 lets the system pick.
struct HostPortForm {
  const char* label;        // what messages start with: "--udp", "UDP target"
  const char* defaultHost;  // empty: the host must be given
  int lowestPort;
};

// "HOST:PORT", an IPv6 host in brackets ("[::1]:10110", whose host is "::1");
// with a default host, a bare "PORT" too. Throws Error naming the text and
// the shape it should have.
HostPort parseHostPort(const std::string& given, const HostPortForm& form);

// Each target once: a second UDP target would get every burst twice, a
// second TCP address could not listen. Throws Error when `target` is among
// `earlier`; ports the system picks (0) are never the same.
void refuseTwice(const std::vector<HostPort>& earlier, const HostPort& target,
                 const HostPortForm& form);

// A list of addresses separated by commas, spaces or line ends, each read by
// parseHostPort and given once; the first bad one throws.
std::vector<HostPort> parseHostPortList(const std::string& given, const HostPortForm& form);

}  // namespace waymock
