#include "platform/virtual_serial_port.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "support/error.h"

namespace waymock {

namespace {

std::string systemMessage(int error) {
  return std::strerror(error);
}

void closeFd(int& fd) noexcept {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

namespace detail {

struct VirtualPty {
  std::string path;
  std::string device;
  int master = -1;
  // Held open for the port's whole life: while one slave descriptor exists the
  // master never sees a hang-up as clients come and go, the slave's raw mode
  // survives between clients, and we can drop the slave's unread input.
  int slave = -1;
  // Open and close events on the slave device tell whether a client is there.
  int events = -1;
  int clients = 0;
  bool linked = false;

  ~VirtualPty() { close(); }

  void close() noexcept {
    if (linked) {
      // Only our own link: another run may have replaced it in the meantime.
      std::array<char, 4096> target{};
      const ssize_t n = readlink(path.c_str(), target.data(), target.size() - 1);
      if (n > 0 && std::string_view(target.data(), static_cast<std::size_t>(n)) == device) {
        unlink(path.c_str());
      }
      linked = false;
    }
    closeFd(events);
    closeFd(slave);
    closeFd(master);
  }

  void open() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) raiseIo("Cannot create a pseudo-terminal: " + systemMessage(errno) + ".");
    std::array<char, 256> name{};
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name.data(), name.size()) != 0) {
      raiseIo("Cannot create a pseudo-terminal: " + systemMessage(errno) + ".");
    }
    device = name.data();
    slave = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) raiseIo("Cannot open " + device + ": " + systemMessage(errno) + ".");

    // Clients get the bytes unchanged (no CR/LF translation, no echo back).
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
      cfmakeraw(&tio);
      tio.c_cflag |= CLOCAL | CREAD;
      cfsetispeed(&tio, B4800);
      cfsetospeed(&tio, B4800);
      tcsetattr(slave, TCSANOW, &tio);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    events = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (events >= 0 && inotify_add_watch(events, device.c_str(), IN_OPEN | IN_CLOSE) < 0) {
      closeFd(events);
    }
  }

  void link() {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        raiseIo("Cannot create the virtual serial port " + path +
                ": the path exists and is not a symbolic link.");
      }
      refuseLiveLink();
      // A link left behind by a run that did not end cleanly: its
      // pseudo-terminal went with that run, so the link dangles.
      if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        raiseIo("Cannot replace the symbolic link " + path + ": " + systemMessage(errno) + ".");
      }
    } else if (errno != ENOENT) {
      raiseIo("Cannot create the virtual serial port " + path + ": " + systemMessage(errno) + ".");
    }
    // symlink() never replaces anything, so a file that appeared meanwhile is safe.
    if (symlink(device.c_str(), path.c_str()) != 0) {
      raiseIo("Cannot create the virtual serial port " + path + ": " + systemMessage(errno) + ".");
    }
    linked = true;
  }

  // A link to something that exists is someone's: another run's live port
  // (whose clients would lose it) or a file of the user's.
  void refuseLiveLink() const {
    std::array<char, 4096> buffer{};
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    const std::string target(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) return;
      raiseIo("Cannot create the virtual serial port " + path + ": " + systemMessage(errno) + ".");
    }
    const bool pseudoTerminal = S_ISCHR(st.st_mode) && target.starts_with("/dev/pts/");
    raiseIo("Cannot create the virtual serial port " + path +
            (pseudoTerminal ? ": it links to the pseudo-terminal " + target + ", which is in use."
                            : ": it is a symbolic link to " + target + ", which exists."));
  }

  // Counts clients from the open and close events seen since the last call.
  // Returns false when that count cannot be trusted (no events, lost events).
  bool updateClients() noexcept {
    if (events < 0) return false;
    alignas(inotify_event) std::array<char, 4096> buffer{};
    for (;;) {
      const ssize_t n = read(events, buffer.data(), buffer.size());
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        inotify_event event{};
        std::memcpy(&event, buffer.data() + at, sizeof event);
        if ((event.mask & IN_Q_OVERFLOW) != 0) {
          closeFd(events);
          return false;
        }
        if ((event.mask & IN_OPEN) != 0) ++clients;
        if ((event.mask & IN_CLOSE) != 0 && clients > 0) --clients;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
      }
    }
    return true;
  }

  // Clients may talk back (gpsd probes its devices); nobody listens.
  void discardInput() noexcept {
    std::array<char, 4096> sink{};
    while (read(master, sink.data(), sink.size()) > 0) {
    }
  }

  std::size_t write(std::string_view bytes) noexcept {
    if (master < 0) return 0;
    discardInput();
    // Nobody attached: what was not read is gone, as on a line with no
    // receiver, so whoever connects next starts with the newest data.
    if (updateClients() && clients == 0) tcflush(slave, TCIFLUSH);
    std::size_t written = 0;
    bool flushedSinceProgress = false;
    while (written < bytes.size()) {
      const ssize_t n = ::write(master, bytes.data() + written, bytes.size() - written);
      if (n > 0) {
        written += static_cast<std::size_t>(n);
        flushedSinceProgress = false;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !flushedSinceProgress) {
        // A client that does not keep up loses the oldest bytes, not the newest.
        tcflush(slave, TCIFLUSH);
        flushedSinceProgress = true;
        continue;
      }
      break;
    }
    return written;
  }

  // What clients sent is dropped; what they have not read yet stays for them.
  void purge() noexcept {
    if (master < 0) return;
    tcflush(slave, TCOFLUSH);
    discardInput();
  }
};

}  // namespace detail

namespace {

class VirtualDevice final : public SerialDevice {
 public:
  explicit VirtualDevice(std::shared_ptr<detail::VirtualPty> pty) : pty_(std::move(pty)) {}
  std::size_t write(std::string_view bytes, std::chrono::milliseconds) override {
    return pty_->write(bytes);
  }
  void purge() noexcept override { pty_->purge(); }

 private:
  std::shared_ptr<detail::VirtualPty> pty_;
};

class VirtualOpener final : public SerialPortOpener {
 public:
  VirtualOpener(std::shared_ptr<detail::VirtualPty> pty, std::shared_ptr<SerialPortOpener> others)
      : pty_(std::move(pty)), others_(std::move(others)) {}

  std::unique_ptr<SerialDevice> open(const std::string& name, int baudRate) override {
    if (pty_->master >= 0 && (name == pty_->path || name == pty_->device)) {
      return std::make_unique<VirtualDevice>(pty_);
    }
    return others_ ? others_->open(name, baudRate) : nullptr;
  }

 private:
  std::shared_ptr<detail::VirtualPty> pty_;
  std::shared_ptr<SerialPortOpener> others_;
};

}  // namespace

std::string VirtualSerialPort::defaultPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') {
    std::string path = runtime;
    if (path.back() != '/') path += '/';
    return path + "waymock-gps";
  }
  const passwd* user = getpwuid(geteuid());
  const std::string name =
      user != nullptr && user->pw_name != nullptr ? user->pw_name : std::to_string(geteuid());
  return "/tmp/waymock-gps-" + name;
}

VirtualSerialPort::VirtualSerialPort(std::string path)
    : pty_(std::make_shared<detail::VirtualPty>()) {
  pty_->path = std::move(path);
  pty_->open();
  pty_->link();
}

VirtualSerialPort::~VirtualSerialPort() {
  pty_->close();
}

const std::string& VirtualSerialPort::path() const {
  return pty_->path;
}

const std::string& VirtualSerialPort::deviceName() const {
  return pty_->device;
}

std::size_t VirtualSerialPort::write(std::string_view bytes) {
  return pty_->write(bytes);
}

void VirtualSerialPort::purge() noexcept {
  pty_->purge();
}

std::shared_ptr<SerialPortOpener> VirtualSerialPort::opener(
    std::shared_ptr<SerialPortOpener> others) {
  return std::make_shared<VirtualOpener>(pty_, std::move(others));
}

}  // namespace waymock
