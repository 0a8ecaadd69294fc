// Serial devices through termios. The device is opened non-blocking and stays
// so: the one timed write is a poll/write loop against a deadline, which is how
// a write time-out is expressed on a tty.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/serial.h"
#include "platform/serial_custom_baud.h"
#include "support/error.h"

namespace waymock {

namespace {

// The termios constant for a rate, or B0 when there is none.
speed_t standardSpeed(int baudRate) {
  switch (baudRate) {
    case 110:
      return B110;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    case 460800:
      return B460800;
    case 921600:
      return B921600;
    default:
      return B0;
  }
}

// 8N1, raw, no flow control of any kind, modem lines ignored for input. Every
// step may fail on a device without real line settings (a pseudo-terminal has
// no modem lines); like the rest of the settings, failures are not fatal.
void applyLineSettings(int fd, int baudRate) {
  termios tio{};
  if (tcgetattr(fd, &tio) == 0) {
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = standardSpeed(baudRate);
    if (speed != B0) {
      // A custom rate left by an earlier open sits in the input-speed bits and
      // would outlive cfsetispeed; cleared, the input follows the output speed.
      tio.c_cflag &= ~static_cast<tcflag_t>(CIBAUD);
      cfsetispeed(&tio, speed);
      cfsetospeed(&tio, speed);
    }
    tcsetattr(fd, TCSANOW, &tio);
    if (speed == B0) detail::setCustomBaudRate(fd, baudRate);
  }
  // Opening a tty raises DTR and RTS; a GPS receiver's line holds them off.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIC, &lines);
}

class TermiosDevice final : public SerialDevice {
 public:
  explicit TermiosDevice(int fd) : fd_(fd) {}
  ~TermiosDevice() override {
    ioctl(fd_, TIOCNXCL);  // the exclusive flag outlives our descriptor otherwise
    ::close(fd_);
  }
  TermiosDevice(const TermiosDevice&) = delete;
  TermiosDevice& operator=(const TermiosDevice&) = delete;

  std::size_t write(std::string_view bytes, std::chrono::milliseconds timeout) override {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
      if (n > 0) {
        written += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) {
        lost_ = true;
        break;
      }
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      pollfd p{fd_, POLLOUT, 0};
      const int ready = poll(&p, 1, static_cast<int>(left));
      if (ready < 0 && errno != EINTR) break;
      if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) break;
    }
    return written;
  }

  void purge() noexcept override { tcflush(fd_, TCIFLUSH); }

  std::size_t pendingOutput() const noexcept override {
    int pending = 0;
    return ioctl(fd_, TIOCOUTQ, &pending) == 0 && pending > 0 ? static_cast<std::size_t>(pending)
                                                              : 0;
  }

  void discardOutput() noexcept override { tcflush(fd_, TCOFLUSH); }

  bool lost() const noexcept override { return lost_; }

 private:
  int fd_;
  bool lost_ = false;
};

// Why a device could not be opened, in the words a user can act on.
[[noreturn]] void refuseToOpen(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      raiseIo("There is no such device.", error);
    case EACCES:
    case EPERM:
      raiseIo("Permission denied; serial devices need the user to be in the dialout group.", error);
    case EBUSY:
    case EWOULDBLOCK:
      raiseIo("It is in use by another program.", error);
    case EISDIR:
    case ENOTTY:
      raiseIo("It is not a terminal, so it is not a serial port.", error);
    default:
      raiseIo("It cannot be opened: " + systemErrorText(error) + ".", error);
  }
}

class TermiosPorts final : public SerialPortOpener {
 public:
  std::unique_ptr<SerialDevice> open(const std::string& name, int baudRate) override {
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) refuseToOpen(errno);
    // Only a terminal is a serial port: a regular file would be overwritten in
    // place, and /dev/null or /dev/zero would swallow every burst as sent.
    struct stat st {};
    termios settings{};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || tcgetattr(fd, &settings) != 0) {
      ::close(fd);
      refuseToOpen(ENOTTY);
    }
    // No sharing. The flock keeps out every other opener that asks for it (and
    // a second open by us, which TIOCEXCL alone lets through for root); TIOCEXCL
    // keeps out every other non-root open of the tty.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      refuseToOpen(error);
    }
    ioctl(fd, TIOCEXCL);
    applyLineSettings(fd, baudRate);
    return std::make_unique<TermiosDevice>(fd);
  }
};

}  // namespace

std::shared_ptr<SerialPortOpener> systemSerialPorts() {
  static const auto ports = std::make_shared<TermiosPorts>();
  return ports;
}

}  // namespace waymock
