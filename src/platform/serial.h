#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace waymock {

// The bit rates a user can pick, in ascending order. Those without a termios
// constant (14400, 56000, 128000, 256000) are set as custom rates where the
// driver supports them.
inline constexpr std::array<int, 15> kSerialBaudRates = {110,   300,   600,    1200,   2400,
                                                         4800,  9600,  14400,  19200,  38400,
                                                         56000, 57600, 115200, 128000, 256000};
// The faster rates of current receivers, ascending, all with termios constants.
// The command line offers them besides the list above; the window keeps its
// list.
inline constexpr std::array<int, 3> kFastSerialBaudRates = {230400, 460800, 921600};

// An open serial device. Destroying it closes the device (a plain close).
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  // One synchronous write that gives up after `timeout`; returns the number of
  // bytes actually written (0 when the write failed). Never throws.
  virtual std::size_t write(std::string_view bytes, std::chrono::milliseconds timeout) = 0;
  // Drops pending input. Output that write() accepted and counted stays queued
  // and still goes out: dropping it would lose a burst already reported as
  // sent. Never throws.
  virtual void purge() noexcept = 0;
  // Bytes that write() accepted but the line has not sent yet.
  virtual std::size_t pendingOutput() const noexcept { return 0; }
  // Drops the output not sent yet, so that closing the device does not wait
  // for a slow line to send it.
  virtual void discardOutput() noexcept {}
  // True once a write found the device gone (unplugged, hung up): it takes
  // nothing any more, and only opening its name again can bring it back.
  virtual bool lost() const noexcept { return false; }
};

// Opens named serial devices with the generator's line settings: baud rate as
// given, 8N1, raw, no flow control, DTR and RTS held off.
class SerialPortOpener {
 public:
  virtual ~SerialPortOpener() = default;
  // The name is used exactly as given. When the device cannot be opened
  // (missing, busy, no permission, not a terminal) throws IoError whose
  // message is the reason as a sentence ("There is no such device."), or
  // returns nullptr when there is no reason to give. Settings the device
  // rejects are ignored, so a pseudo-terminal opens like a real port.
  virtual std::unique_ptr<SerialDevice> open(const std::string& name, int baudRate) = 0;
};

// The real serial devices of this system (termios).
std::shared_ptr<SerialPortOpener> systemSerialPorts();

}  // namespace waymock
