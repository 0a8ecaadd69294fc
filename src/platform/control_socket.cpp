#include "platform/control_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/listen_address.h"
#include "platform/socket_address.h"
#include "support/error.h"

namespace waymock {

namespace {

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool isDefaultFolder(const std::string& folder) {
  return folder == defaultControlFolder();
}

// Others could replace the socket or listen in their place: the folder of the
// default path is the user's alone, and any other folder is the user's (or
// root's with the sticky bit, as /tmp) and no one else may delete in it.
void checkExistingFolder(const std::string& folder, const struct stat& info) {
  if (!S_ISDIR(info.st_mode)) raiseIo("The control folder " + folder + " is not a folder.");
  const bool sticky = (info.st_mode & S_ISVTX) != 0;
  if (info.st_uid != ::geteuid() && (info.st_uid != 0 || !sticky)) {
    raiseIo("The control folder " + folder + " belongs to another user.");
  }
  if (isDefaultFolder(folder) && (info.st_mode & 077) != 0) {
    raiseIo("The control folder " + folder +
            " is open to other users; it must be private (mode 0700).");
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !sticky) {
    raiseIo("Other users may write in the control folder " + folder +
            ", so they could replace the socket; use a folder only you can write in, or one "
            "with the sticky bit (mode 1777, as /tmp).");
  }
}

void checkFolder(const std::string& folder) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    if (errno != ENOENT || !isDefaultFolder(folder)) {
      raiseIo("Cannot use the control folder " + folder + ".", errno);
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      raiseIo("Cannot create the control folder " + folder + ".", errno);
    }
    if (::lstat(folder.c_str(), &info) != 0) {
      raiseIo("Cannot use the control folder " + folder + ".", errno);
    }
  }
  checkExistingFolder(folder, info);
}

sockaddr_un unixAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    raiseIo("The control socket path " + path + " is longer than " +
            std::to_string(sizeof address.sun_path - 1) + " bytes.");
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// A socket file already there: one whose process has ended is removed, any
// other thing is refused.
void clearStaleSocket(const std::string& path, const sockaddr_un& address) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return;
  if (!S_ISSOCK(info.st_mode)) raiseIo(path + " exists and is not a control socket.");
  if (info.st_uid != ::geteuid())
    raiseIo("The control socket " + path + " belongs to another user.");
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) raiseIo("Cannot listen on " + path + ".", errno);
  const int connected =
      ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int error = errno;
  ::close(probe);
  if (connected == 0) raiseIo("Another simulator listens on " + path + ".");
  if (error != ECONNREFUSED) raiseIo("Cannot listen on " + path + ".", error);
  ::unlink(path.c_str());
}

}  // namespace

std::string defaultControlFolder() {
  return folderOf(defaultControlSocketPath());
}

void checkControlFolder(const std::string& folder) {
  checkFolder(folder);
}

std::string defaultControlSocketPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] != '\0') {
    std::string folder = runtime;
    if (folder.back() != '/') folder += '/';
    return folder + "waymock/control.sock";
  }
  return "/tmp/waymock-" + std::to_string(::geteuid()) + "/control.sock";
}

int listenControlSocket(const std::string& path) {
  const sockaddr_un address = unixAddress(path);
  checkFolder(folderOf(path));
  clearStaleSocket(path, address);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) raiseIo("Cannot listen on " + path + ".", errno);
  // The socket is private from the moment it exists.
  const mode_t previous = ::umask(0177);
  const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int error = errno;
  ::umask(previous);
  if (bound != 0 || ::listen(fd, SOMAXCONN) != 0) {
    const int reason = bound != 0 ? error : errno;
    ::close(fd);
    raiseIo("Cannot listen on " + path + ".", reason);
  }
  ::chmod(path.c_str(), 0600);
  return fd;
}

int connectControlSocket(const std::string& path) {
  const sockaddr_un address = unixAddress(path);
  const std::string folder = folderOf(path);
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    raiseIo(
        "Cannot reach a simulator at " + path + " (is one running with its control channel on?).",
        errno);
  }
  checkExistingFolder(folder, info);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    raiseIo(
        "Cannot reach a simulator at " + path + " (is one running with its control channel on?).",
        error);
  }
  const auto peer = peerUserId(fd);
  if (!peer || !trustedUser(*peer)) {
    ::close(fd);
    raiseIo("The process listening at " + path + " runs as another user" +
            (peer ? " (uid " + std::to_string(*peer) + ")" : "") + "; nothing was sent to it.");
  }
  return fd;
}

std::optional<uid_t> peerUserId(int fd) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return std::nullopt;
  return credentials.uid;
}

bool trustedUser(uid_t uid) {
  return uid == ::geteuid() || uid == 0;
}

void removeControlSocket(const std::string& path) noexcept {
  ::unlink(path.c_str());
}

int listenControlTcp(const std::string& host, int port, bool anyAddress) {
  SocketAddress address = listenAddress(host, port);
  const std::string where = hostPortText(host, port);
  if (!anyAddress && !address.isLoopback()) {
    raise(where +
          " is not a loopback address: whoever reaches it could steer the simulator and "
          "have it read files into its replies.");
  }
  const int fd = ::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) raiseIo("Cannot listen on " + where + ".", errno);
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd, address.get(), address.length()) != 0 || ::listen(fd, SOMAXCONN) != 0) {
    const int error = errno;
    ::close(fd);
    raiseIo("Cannot listen on " + where + ".", error);
  }
  return fd;
}

int listeningPort(int fd) {
  SocketAddress address;
  ::getsockname(fd, address.get(), address.lengthForUpdate());
  return address.port();
}

}  // namespace waymock
