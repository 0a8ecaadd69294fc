#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/serial.h"

namespace waymock {

namespace detail {
struct VirtualPty;
}

class VirtualSerialPort;

// The ports a front end offers the generator: its virtual port while it has
// one, and the system's devices (or `others`) for every other name. The
// generator takes it once, before any virtual port exists; the virtual port
// then comes and goes with Start and Stop.
class SerialPorts final : public SerialPortOpener {
 public:
  explicit SerialPorts(std::shared_ptr<SerialPortOpener> others = systemSerialPorts());

  // Opens the virtual port for its path and its device name while it lives.
  std::unique_ptr<SerialDevice> open(const std::string& name, int baudRate) override;
  // From now on serves `port`, or no virtual port when nullptr. Devices
  // handed out stay usable after the port is gone, writing nothing.
  void setVirtual(const VirtualSerialPort* port);

 private:
  std::shared_ptr<SerialPortOpener> others_;
  std::shared_ptr<detail::VirtualPty> virtual_;
};

// A serial port with nothing but software behind it: a pseudo-terminal whose
// slave side is reachable through a symbolic link at a path the user chooses,
// so any client (gpsd, a navigation program, `cat`) opens the link as if it
// were a serial device, while the simulator writes to the master side.
//
// It behaves like a serial line with nothing attached: bytes that no client
// reads are dropped instead of stalling the writer, so every write reports its
// full length and a client that connects gets fresh data rather than a backlog.
class VirtualSerialPort {
 public:
  // The per-user default link: $XDG_RUNTIME_DIR/waymock-gps when that is set,
  // else /tmp/waymock-gps-USER, so one user's simulator never blocks another's.
  static std::string defaultPath();

  // Creates the pseudo-terminal and the link, and holds the lock file
  // `path` + ".lock" (mode 0600) while the port lives. A link left by a run
  // that did not end cleanly (killed, or the machine went down) is replaced,
  // as is one that dangles; anything else at `path` (a live run's link, a link
  // of the user's to something that exists, a file, a folder) is left alone
  // and IoError names what is there.
  explicit VirtualSerialPort(std::string path = defaultPath());
  // Removes the link, if it is still ours, and the lock file, and closes the
  // pseudo-terminal.
  ~VirtualSerialPort();
  VirtualSerialPort(const VirtualSerialPort&) = delete;
  VirtualSerialPort& operator=(const VirtualSerialPort&) = delete;

  // The link path, exactly as given.
  const std::string& path() const;
  // The slave device the link points to, such as /dev/pts/3.
  const std::string& deviceName() const;

  // Writes without ever blocking; returns bytes.size() unless the
  // pseudo-terminal itself fails.
  std::size_t write(std::string_view bytes);
  // Drops what clients sent; what they have not read yet stays for them.
  void purge() noexcept;

  // Serial ports with this one as their virtual port (see SerialPorts).
  std::shared_ptr<SerialPortOpener> opener(
      std::shared_ptr<SerialPortOpener> others = systemSerialPorts());

 private:
  friend class SerialPorts;
  std::shared_ptr<detail::VirtualPty> pty_;
};

}  // namespace waymock
