#include "platform/control_token.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/control_socket.h"
#include "support/atomic_file.h"
#include "support/error.h"

namespace waymock {

namespace {

constexpr std::size_t kTokenBytes = 32;
// Far more than a token: a longer file is not one.
constexpr std::size_t kMostBytes = 256;

}  // namespace

std::string defaultControlTokenPath(int port) {
  return defaultControlFolder() + "/tcp-" + std::to_string(port) + ".token";
}

std::string writeControlToken(const std::string& path) {
  const auto slash = path.rfind('/');
  checkControlFolder(slash == std::string::npos ? "."
                                                : path.substr(0, std::max<std::size_t>(slash, 1)));
  std::array<unsigned char, kTokenBytes> random{};
  for (std::size_t got = 0; got < random.size();) {
    const ssize_t n = ::getrandom(random.data() + got, random.size() - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) raiseIo("Cannot make a control token.", errno);
    got += static_cast<std::size_t>(n);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (const unsigned char byte : random) {
    token += kHex[byte >> 4];
    token += kHex[byte & 15];
  }
  // Private from the moment it exists, then renamed into place whole.
  const std::string temporary = path + "." + std::to_string(::getpid()) + ".tmp";
  ::unlink(temporary.c_str());
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) raiseIo("Cannot write the control token " + path + ".", errno);
  const std::string line = token + "\n";
  const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, line);
  const int error = errno;
  if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    const int reason = written ? errno : error;
    ::unlink(temporary.c_str());
    raiseIo("Cannot write the control token " + path + ".", reason);
  }
  return token;
}

void removeControlToken(const std::string& path) noexcept {
  ::unlink(path.c_str());
}

std::string readControlToken(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    raiseIo("Cannot read the control token " + path +
                " (does a simulator listen on that port with --control-tcp?).",
            errno);
  }
  struct stat info {};
  const bool stated = ::fstat(fd, &info) == 0;
  std::string text(kMostBytes + 1, '\0');
  ssize_t n = -1;
  if (stated && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0) {
    do {
      n = ::read(fd, text.data(), text.size());
    } while (n < 0 && errno == EINTR);
  }
  const int error = errno;
  ::close(fd);
  if (!stated || !S_ISREG(info.st_mode)) raiseIo("The control token " + path + " is not a file.");
  if (info.st_uid != ::geteuid()) {
    raiseIo("The control token " + path + " belongs to another user; it is not used.");
  }
  if ((info.st_mode & 077) != 0) {
    raiseIo("The control token " + path + " is open to other users; it is not used.");
  }
  if (n < 0) raiseIo("Cannot read the control token " + path + ".", error);
  text.resize(static_cast<std::size_t>(n));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty() || text.size() > kMostBytes) {
    raiseIo("The control token " + path + " holds no token.");
  }
  return text;
}

bool sameToken(std::string_view given, std::string_view expected) {
  unsigned difference = given.size() == expected.size() ? 0u : 1u;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    difference |= static_cast<unsigned char>(i < given.size() ? given[i] : 0) ^
                  static_cast<unsigned char>(expected[i]);
  }
  return difference == 0;
}

}  // namespace waymock
