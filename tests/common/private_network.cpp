#include "common/private_network.h"

#include <net/if.h>
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

}  // namespace waymock::test
