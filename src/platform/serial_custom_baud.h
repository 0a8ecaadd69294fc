#pragma once

namespace waymock::detail {

// Sets an arbitrary bit rate (one the termios B-constants lack, such as 14400
// or 256000) on an open tty through the kernel's termios2 interface. Kept in
// its own file because the kernel's termios headers clash with <termios.h>.
// Returns false when the device refuses it.
bool setCustomBaudRate(int fd, int baudRate) noexcept;

}  // namespace waymock::detail
