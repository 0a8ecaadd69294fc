#include "platform/host_port.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/socket_address.h"
#include "support/error.h"
#include "support/shown_text.h"

namespace waymock {

HostPort parseHostPort(const std::string& given, const HostPortForm& form) {
  const std::string label = form.label;
  const std::string defaultHost = form.defaultHost;
  const std::string shape = defaultHost.empty() ? "HOST:PORT" : "[HOST:]PORT";
  const auto malformed = [&] {
    raise(label + ": \"" + shownText(given) + "\" is not " + shape + " with a port from " +
          std::to_string(form.lowestPort) + " to 65535.");
  };
  const bool bare = !defaultHost.empty() && given.find(':') == std::string::npos;
  const std::string text = bare ? defaultHost + ":" + given : given;
  const auto colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size() ||
      text.size() - colon - 1 > 5) {
    malformed();
  }
  HostPort result;
  const auto [end, error] =
      std::from_chars(text.data() + colon + 1, text.data() + text.size(), result.port);
  if (error != std::errc() || end != text.data() + text.size() || result.port < form.lowestPort ||
      result.port > 65535) {
    malformed();
  }
  result.host = text.substr(0, colon);
  // An IPv6 address has colons of its own, so it comes in brackets.
  if (result.host.starts_with('[') && result.host.ends_with(']') && result.host.size() > 2) {
    result.host = result.host.substr(1, result.host.size() - 2);
  } else if (result.host.find_first_of(":[]") != std::string::npos) {
    raise(label + ": \"" + shownText(given) + "\" is not " + shape +
          "; an IPv6 host goes in brackets, as in [::1]:10110.");
  }
  return result;
}

void refuseTwice(const std::vector<HostPort>& earlier, const HostPort& target,
                 const HostPortForm& form) {
  const auto key = [](const HostPort& address) {
    std::string text = hostPortText(address.host, address.port);
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  const bool twice = std::any_of(earlier.begin(), earlier.end(), [&](const HostPort& address) {
    return key(address) == key(target);
  });
  if (twice && target.port != 0) {
    raise(std::string(form.label) + ": " + hostPortText(shownText(target.host), target.port) +
          " is given twice.");
  }
}

std::vector<HostPort> parseHostPortList(const std::string& given, const HostPortForm& form) {
  std::vector<HostPort> addresses;
  const auto separator = [](char c) {
    return c == ',' || std::isspace(static_cast<unsigned char>(c));
  };
  auto at = given.begin();
  while (at != given.end()) {
    const auto end = std::find_if(at, given.end(), separator);
    if (end != at) {
      HostPort address = parseHostPort(std::string(at, end), form);
      refuseTwice(addresses, address, form);
      addresses.push_back(std::move(address));
    }
    at = end == given.end() ? end : end + 1;
  }
  return addresses;
}

}  // namespace waymock
