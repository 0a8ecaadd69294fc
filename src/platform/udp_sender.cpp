#include "platform/udp_sender.h"

#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/socket_address.h"
#include "support/error.h"

namespace waymock {

// The lookup of one host name. A lookup cannot be cancelled, so its thread
// shares this state with the sender instead of using the sender: when the
// sender moves on to another host or goes away, the thread finds `abandoned`,
// drops its answer and ends.
struct UdpSender::Lookup {
  Lookup(std::string name, HostLookup function)
      : host(std::move(name)), resolve(std::move(function)) {}

  const std::string host;
  const HostLookup resolve;
  std::mutex mutex;
  std::condition_variable settled;
  bool running = false;  // at most one thread per host
  bool abandoned = false;
  std::optional<SocketAddress> address;
  std::string error;  // why the last lookup failed

  // Under the lock.
  static void start(const std::shared_ptr<Lookup>& self) {
    self->error.clear();
    try {
      std::thread(run, self).detach();
      self->running = true;
    } catch (const std::system_error& e) {
      self->error = "Cannot look up the UDP host \"" + self->host + "\": " + e.what() + ".";
    }
  }

  static void run(const std::shared_ptr<Lookup>& self) {
    std::optional<SocketAddress> found;
    std::string why;
    try {
      found = self->resolve(self->host);
    } catch (const std::exception& e) {
      why = e.what();
    } catch (...) {
      why = "Cannot resolve the UDP host \"" + self->host + "\".";
    }
    std::lock_guard lock(self->mutex);
    self->running = false;
    if (!self->abandoned) {
      self->address = found;
      self->error = std::move(why);
    }
    self->settled.notify_all();
  }
};

SocketAddress UdpSender::systemLookup(const std::string& host) {
  int error = 0;
  const auto found = lookUpHost(host, SOCK_DGRAM, false, error);
  if (!found) {
    raiseIo("Cannot resolve the UDP host \"" + host + "\": " + resolverErrorText(error) + ".");
  }
  return *found;
}

UdpSender::UdpSender() : UdpSender("", 0) {}

UdpSender::UdpSender(std::string host, int port, HostLookup lookup, MulticastOptions multicast)
    : port_(port),
      multicast_(std::move(multicast)),
      resolve_(lookup ? std::move(lookup) : HostLookup(systemLookup)) {
  setHost(std::move(host));
}

UdpSender::~UdpSender() {
  if (socket_ >= 0) ::close(socket_);
  setHost("");
}

void UdpSender::setDestination(std::string host, int port) {
  port_ = port;
  if (host != host_) setHost(std::move(host));
}

void UdpSender::setHost(std::string host) {
  if (lookup_) {
    std::lock_guard lock(lookup_->mutex);
    lookup_->abandoned = true;
  }
  lookup_.reset();
  host_ = std::move(host);
  if (host_.empty()) return;
  lookup_ = std::make_shared<Lookup>(host_, resolve_);
  std::lock_guard lock(lookup_->mutex);
  // A host written as an address needs no lookup.
  lookup_->address = numericAddress(host_);
  if (!lookup_->address) Lookup::start(lookup_);
}

bool UdpSender::waitForAddress(std::chrono::milliseconds timeout) {
  if (!lookup_) return false;
  std::unique_lock lock(lookup_->mutex);
  lookup_->settled.wait_for(lock, timeout, [this] { return !lookup_->running; });
  return lookup_->address.has_value();
}

SocketAddress UdpSender::address() {
  if (port_ < 1 || port_ > 65535) {
    raiseIo("UDP port " + std::to_string(port_) + " is not between 1 and 65535.");
  }
  if (!lookup_) {
    raiseIo("Cannot resolve the UDP host \"\": " + resolverErrorText(EAI_NONAME) + ".");
  }
  std::lock_guard lock(lookup_->mutex);
  if (lookup_->address) {
    SocketAddress address = *lookup_->address;
    address.setPort(port_);
    return address;
  }
  if (lookup_->running) raiseIo("The UDP host \"" + host_ + "\" is still being looked up.");
  // Failed: the name server may answer next time. This send reports the
  // failure; a later one may find the address.
  const std::string error = lookup_->error;
  Lookup::start(lookup_);
  raiseIo(error);
}

namespace {

void setOption(int socket, int level, int name, const void* value, socklen_t length,
               const std::string& what) {
  if (::setsockopt(socket, level, name, value, length) != 0) {
    raiseIo("Cannot " + what + ": " + std::strerror(errno) + ".");
  }
}

}  // namespace

// The options a destination needs, set when it changes: a broadcast needs
// permission, a group its hop limit and maybe its interface.
void UdpSender::prepareSocket(const SocketAddress& destination) {
  SocketAddress host = destination;
  host.setPort(0);
  if (preparedFor_ && preparedFor_->length() == host.length() &&
      std::memcmp(preparedFor_->get(), host.get(), host.length()) == 0) {
    return;
  }
  const bool v4 = destination.family() == AF_INET;
  const AddressReach reach = reachOf(destination);
  if (reach == AddressReach::broadcast) {
    const int on = 1;
    setOption(socket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on, "enable broadcasting");
  } else if (reach == AddressReach::multicast) {
    const int hops = multicast_.hops;
    setOption(socket_, v4 ? IPPROTO_IP : IPPROTO_IPV6, v4 ? IP_MULTICAST_TTL : IPV6_MULTICAST_HOPS,
              &hops, sizeof hops, "set the multicast hop limit " + std::to_string(hops));
    if (!multicast_.interfaceName.empty()) {
      const unsigned index = if_nametoindex(multicast_.interfaceName.c_str());
      if (index == 0) {
        raiseIo("No network interface \"" + multicast_.interfaceName + "\" to send multicast on.");
      }
      const std::string what = "send multicast on " + multicast_.interfaceName;
      if (v4) {
        ip_mreqn request{};
        request.imr_ifindex = static_cast<int>(index);
        setOption(socket_, IPPROTO_IP, IP_MULTICAST_IF, &request, sizeof request, what);
      } else {
        const int value = static_cast<int>(index);
        setOption(socket_, IPPROTO_IPV6, IPV6_MULTICAST_IF, &value, sizeof value, what);
      }
    }
  }
  preparedFor_ = host;
}

void UdpSender::send(std::string_view payload) {
  const SocketAddress destination = address();
  if (socket_ >= 0 && socketFamily_ != destination.family()) {
    ::close(socket_);
    socket_ = -1;
  }
  if (socket_ < 0) {
    socket_ = ::socket(destination.family(), SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0)
      raiseIo(std::string("Cannot create a UDP socket: ") + systemErrorText(errno) + ".");
    socketFamily_ = destination.family();
    preparedFor_.reset();
  }
  prepareSocket(destination);
  const ssize_t sent = ::sendto(socket_, payload.data(), payload.size(), MSG_NOSIGNAL,
                                destination.get(), destination.length());
  if (sent < 0) {
    const int error = errno;
    raiseIo("Cannot send to " + hostPortText(host_, port_) + ": " + systemErrorText(error) + ".");
  }
}

}  // namespace waymock
