#include "common/private_network.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace waymock::test {

namespace {

// "" when the child now has its own network (and mounts), else why not.
std::string isolate(bool privateMounts) {
  if (::unshare(CLONE_NEWNET | (privateMounts ? CLONE_NEWNS : 0)) != 0) {
    return std::string("unshare is not permitted here: ") + std::strerror(errno);
  }
  if (privateMounts && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return std::string("cannot make the mounts private: ") + std::strerror(errno);
  }
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  std::strcpy(request.ifr_name, "lo");
  const bool up =
      fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
      (request.ifr_flags |= IFF_UP | IFF_MULTICAST, ::ioctl(fd, SIOCSIFFLAGS, &request) == 0);
  const int error = errno;
  if (fd >= 0) ::close(fd);
  return up ? "" : std::string("cannot bring up loopback: ") + std::strerror(error);
}

}  // namespace

PrivateRun runInPrivateNetwork(const std::function<std::string()>& work, bool privateMounts) {
  int channel[2];
  if (::pipe(channel) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::close(channel[0]);
    std::string why = isolate(privateMounts);
    std::string report = why.empty() ? "R" : "S" + why;
    if (why.empty()) {
      try {
        report += work();
      } catch (const std::exception& e) {
        report += std::string("unexpected: ") + e.what();
      }
    }
    for (std::size_t at = 0; at < report.size();) {
      const ssize_t n = ::write(channel[1], report.data() + at, report.size() - at);
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
    report.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(channel[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (report.empty()) return {"unexpected: the child ended without a word", ""};
  if (report[0] == 'S') return {"", report.substr(1)};
  return {report.substr(1), ""};
}

LoopbackReader::LoopbackReader(const char* group)
    : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in any{};
  any.sin_family = AF_INET;
  socklen_t length = sizeof any;
  const int on = 1;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&any), &length) != 0 ||
      ::setsockopt(fd_, IPPROTO_IP, IP_RECVTTL, &on, sizeof on) != 0) {
    throw std::runtime_error("cannot make a UDP reader");
  }
  port_ = ntohs(any.sin_port);
  if (group != nullptr) {
    ip_mreqn join{};
    ::inet_pton(AF_INET, group, &join.imr_multiaddr);
    join.imr_ifindex = static_cast<int>(::if_nametoindex("lo"));
    if (::setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0) {
      throw std::runtime_error(std::string("cannot join ") + group);
    }
  }
}

LoopbackReader::~LoopbackReader() {
  ::close(fd_);
}

std::string LoopbackReader::receive(int waitMs) {
  pollfd ready{fd_, POLLIN, 0};
  if (::poll(&ready, 1, waitMs) != 1) return "nothing";
  char data[4096];
  char control[CMSG_SPACE(sizeof(int))];
  iovec part{data, sizeof data};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(fd_, &message, 0);
  int ttl = -1;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
      std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
    }
  }
  return std::string(data, n > 0 ? static_cast<std::size_t>(n) : 0) + " ttl " + std::to_string(ttl);
}

}  // namespace waymock::test
