#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "common/test_support.h"
#include "platform/pty_pair.h"
#include "platform/serial.h"
#include "support/error.h"

namespace waymock {
namespace {

using namespace std::chrono_literals;
using test::PtyPair;
using test::readAtLeast;

TEST(SerialTermios, BytesArriveUnchanged) {
  PtyPair pty;
  auto device = systemSerialPorts()->open(pty.name(), 4800);
  ASSERT_NE(device, nullptr);
  // LF must not become CR LF, and XON/XOFF, NUL and high bytes are data.
  const std::string bytes("$GPGLL,4807.0380,N*56\r\n\n\x11\x13\x00\xff\x7f", 30);
  EXPECT_EQ(device->write(bytes, 200ms), bytes.size());
  EXPECT_EQ(readAtLeast(pty.master(), bytes.size()), bytes);
}

TEST(SerialTermios, AppliesLineSettings) {
  PtyPair pty;
  auto device = systemSerialPorts()->open(pty.name(), 9600);
  ASSERT_NE(device, nullptr);
  termios tio{};
  ASSERT_EQ(tcgetattr(pty.slave(), &tio), 0);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
}

TEST(SerialTermios, OpensAtEveryListedRate) {
  for (const int rate : kSerialBaudRates) {
    PtyPair pty;
    auto device = systemSerialPorts()->open(pty.name(), rate);
    ASSERT_NE(device, nullptr) << rate;
    EXPECT_EQ(device->write("x", 100ms), 1u) << rate;
  }
}

TEST(SerialTermios, WriteGivesUpAtItsTimeoutWithTheShorterCount) {
  PtyPair pty;
  auto device = systemSerialPorts()->open(pty.name(), 4800);
  ASSERT_NE(device, nullptr);
  // A reader that never reads: fill the line until it takes nothing more. The
  // kernel moves queued bytes along in the background, so fill again after a
  // moment until a round takes nothing.
  const std::string block(4096, 'f');
  for (int round = 0; round < 20; ++round) {
    std::size_t taken = 0;
    for (int i = 0; i < 100; ++i) {
      const std::size_t n = device->write(block, 0ms);
      taken += n;
      if (n == 0) break;
    }
    if (taken == 0) break;
    std::this_thread::sleep_for(20ms);
  }
  const std::string burst(20, 'b');
  const auto start = std::chrono::steady_clock::now();
  const std::size_t written = device->write(burst, 160ms);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(written, burst.size());
  EXPECT_GE(elapsed, 150ms);
  EXPECT_LT(elapsed, 1500ms);
}

// The reason a device is refused, as the user is told it; empty when it opened.
std::string refusal(const std::string& name) {
  try {
    return systemSerialPorts()->open(name, 4800) ? "" : "no reason";
  } catch (const IoError& e) {
    return e.what();
  }
}

TEST(SerialTermios, RefusesWhatCannotBeAPortAndSaysWhy) {
  test::TempDir dir;
  test::writeFile(dir / "file", "keep me");
  const std::string missing = "There is no such device.";
  const std::string notTerminal = "It is not a terminal, so it is not a serial port.";
  const std::pair<std::string, std::string> cases[] = {
      {(dir / "ttyMissing").string(), missing},
      {(dir / "file" / "ttyS0").string(), missing},
      {dir.path().string(), notTerminal},
      // A regular file is no serial port, and must not be written into.
      {(dir / "file").string(), notTerminal},
      // Character devices without terminal settings swallow or fail every burst.
      {"/dev/null", notTerminal},
      {"/dev/zero", notTerminal},
      {"/dev/full", notTerminal},
  };
  for (const auto& [name, reason] : cases) EXPECT_EQ(refusal(name), reason) << name;
  EXPECT_EQ(test::readFile(dir / "file"), "keep me");
}

TEST(SerialTermios, SaysThatSerialDevicesNeedTheDialoutGroup) {
  PtyPair pty;  // the user's own terminal, closed to others
  ASSERT_EQ(chmod(pty.name().c_str(), 0600), 0);
  EXPECT_EQ(test::runAsNobody([&] { return refusal(pty.name()); }),
            "Permission denied; serial devices need the user to be in the dialout group.");
}

TEST(SerialTermios, IsNotSharedWhileOpen) {
  PtyPair pty;
  auto first = systemSerialPorts()->open(pty.name(), 4800);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(refusal(pty.name()), "It is in use by another program.");
  first.reset();
  auto again = systemSerialPorts()->open(pty.name(), 4800);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->write("ok", 100ms), 2u);
  EXPECT_EQ(readAtLeast(pty.master(), 2), "ok");
}

TEST(SerialTermios, CloseDeliversWhatWasWritten) {
  PtyPair pty;
  auto device = systemSerialPorts()->open(pty.name(), 4800);
  ASSERT_NE(device, nullptr);
  // What the client sent is dropped; the burst reported as written is not.
  ASSERT_EQ(::write(pty.master(), "stale input", 11), 11);
  const std::string burst(600, 'b');
  ASSERT_EQ(device->write(burst, 1900ms), burst.size());
  device->purge();
  device.reset();
  EXPECT_EQ(readAtLeast(pty.master(), burst.size()), burst);
  pollfd p{pty.slave(), POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 0), 0);
}

}  // namespace
}  // namespace waymock
