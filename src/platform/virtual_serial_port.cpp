#include "platform/virtual_serial_port.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/file.h>
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
  return systemErrorText(error);
}

void closeFd(int& fd) noexcept {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// What a symbolic link names, empty when `path` is none or cannot be read.
std::string linkTarget(const std::string& path) {
  std::array<char, 4096> buffer{};
  const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size() - 1);
  return std::string(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

namespace detail {

struct VirtualPty {
  std::string path;
  std::string device;
  // PATH.lock, locked for the run's whole life, so a link whose lock nobody
  // holds is known to be left over, whatever it names now: a run killed
  // outright cannot unlink, but the system drops its lock. The file holds the
  // device the link was made to, which tells that run's link from a link of
  // the user's made since.
  std::string lockPath;
  int lock = -1;
  std::string previousDevice;
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
      // Only our own link: the user may have replaced it in the meantime.
      if (linkTarget(path) == device) unlink(path.c_str());
      linked = false;
    }
    if (lock >= 0) {
      // Removed while still locked, and only if it is still ours, so a run
      // that starts now locks either this file (and sees it gone) or a new one.
      struct stat held {};
      struct stat named {};
      if (fstat(lock, &held) == 0 && lstat(lockPath.c_str(), &named) == 0 &&
          sameFile(held, named)) {
        unlink(lockPath.c_str());
      }
      closeFd(lock);
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

  [[noreturn]] void refuse(const std::string& why) const {
    raiseIo("Cannot create the virtual serial port " + path + ": " + why);
  }

  // Anything but a symbolic link at `path` is the user's, and never replaced.
  void refuseWhatIsNoLink() const {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
      if (errno == ENOENT) return;
      refuse(systemMessage(errno) + ".");
    }
    if (!S_ISLNK(st.st_mode)) refuse("the path exists and is not a symbolic link.");
  }

  void takeLock() {
    lockPath = path + ".lock";
    // A run that ends removes its lock file; one that locked it just before
    // holds a file without a name, so it tries again with the new one.
    for (int attempt = 0; attempt < 3; ++attempt) {
      lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
      if (lock < 0) refuse("its lock file " + lockPath + ": " + systemMessage(errno) + ".");
      struct stat held {};
      if (fstat(lock, &held) != 0 || !S_ISREG(held.st_mode) || held.st_uid != geteuid()) {
        closeFd(lock);
        refuse("its lock file " + lockPath + " is not a plain file of this user's.");
      }
      if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        closeFd(lock);
        if (error != EWOULDBLOCK) {
          refuse("its lock file " + lockPath + ": " + systemMessage(error) + ".");
        }
        const std::string target = linkTarget(path);
        refuse(target.starts_with("/dev/pts/")
                   ? "it links to the pseudo-terminal " + target + ", which is in use."
                   : "another run of the simulator is using it.");
      }
      struct stat named {};
      if (lstat(lockPath.c_str(), &named) == 0 && sameFile(held, named)) {
        std::array<char, 256> text{};
        const ssize_t n = pread(lock, text.data(), text.size(), 0);
        previousDevice.assign(text.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
        return;
      }
      closeFd(lock);
    }
    refuse("its lock file " + lockPath + " keeps being replaced.");
  }

  void link() {
    refuseWhatIsNoLink();
    takeLock();
    refuseWhatIsNoLink();  // again, now that no run of ours can change it
    const std::string target = linkTarget(path);
    if (!target.empty()) {
      // Left by a run that ended without removing it: the lock file names the
      // device, or we were just given that very device, so its run has it no more.
      const bool leftOver =
          target == device || (!previousDevice.empty() && target == previousDevice);
      if (!leftOver) refuseLiveLink(target);
      if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        raiseIo("Cannot replace the symbolic link " + path + ": " + systemMessage(errno) + ".");
      }
    }
    // symlink() never replaces anything, so a file that appeared meanwhile is safe.
    if (symlink(device.c_str(), path.c_str()) != 0) refuse(systemMessage(errno) + ".");
    linked = true;
    // Only the record: a failure to write it costs the next run the take-over
    // after a crash, not this run.
    if (ftruncate(lock, 0) == 0) {
      [[maybe_unused]] const ssize_t n = pwrite(lock, device.data(), device.size(), 0);
    }
  }

  // A link not known to be a run's that names something existing is the
  // user's own; one that dangles is a crashed run's from before the lock file.
  void refuseLiveLink(const std::string& target) const {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) return;
      refuse(systemMessage(errno) + ".");
    }
    refuse(S_ISCHR(st.st_mode) && target.starts_with("/dev/pts/")
               ? "it links to the pseudo-terminal " + target + ", which is in use."
               : "it is a symbolic link to " + target + ", which exists.");
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
  auto ports = std::make_shared<SerialPorts>(std::move(others));
  ports->setVirtual(this);
  return ports;
}

SerialPorts::SerialPorts(std::shared_ptr<SerialPortOpener> others) : others_(std::move(others)) {}

std::unique_ptr<SerialDevice> SerialPorts::open(const std::string& name, int baudRate) {
  if (virtual_ && virtual_->master >= 0 && (name == virtual_->path || name == virtual_->device)) {
    return std::make_unique<VirtualDevice>(virtual_);
  }
  return others_ ? others_->open(name, baudRate) : nullptr;
}

void SerialPorts::setVirtual(const VirtualSerialPort* port) {
  virtual_ = port != nullptr ? port->pty_ : nullptr;
}

}  // namespace waymock
