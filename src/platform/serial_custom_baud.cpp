// Only the kernel's own termios definitions may be seen here: including
// <termios.h> as well would redefine struct termios.
#include "platform/serial_custom_baud.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace waymock::detail {

bool setCustomBaudRate(int fd, int baudRate) noexcept {
  termios2 tio{};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = static_cast<speed_t>(baudRate);
  tio.c_ospeed = static_cast<speed_t>(baudRate);
  return ioctl(fd, TCSETS2, &tio) == 0;
}

}  // namespace waymock::detail
