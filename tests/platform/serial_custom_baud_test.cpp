// Reads the line speed back through termios2, so this file must not see
// <termios.h> (nor <pty.h>, which includes it).
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/serial.h"

extern "C" int openpty(int* master, int* slave, char* name, const void* termp, const void* winp);

namespace waymock {
namespace {

TEST(SerialTermios, SetsEveryListedRateIncludingTheNonStandardOnes) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  for (const int rate : kSerialBaudRates) {
    auto device = systemSerialPorts()->open(name, rate);
    ASSERT_NE(device, nullptr) << rate;
    termios2 tio{};
    ASSERT_EQ(ioctl(slave, TCGETS2, &tio), 0);
    EXPECT_EQ(tio.c_ospeed, static_cast<speed_t>(rate));
    EXPECT_EQ(tio.c_ispeed, static_cast<speed_t>(rate));
  }
  ::close(master);
  ::close(slave);
}

}  // namespace
}  // namespace waymock
