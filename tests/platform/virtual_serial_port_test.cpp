#include "platform/virtual_serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/test_support.h"
#include "platform/pty_pair.h"
#include "support/error.h"

namespace waymock {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readAtLeast;

// A client as gpsd or `cat` would be: it opens the link like a serial device.
class Client {
 public:
  explicit Client(const fs::path& path)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
  ~Client() {
    if (fd_ >= 0) ::close(fd_);
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::string zdaBurst(int n) {
  return "$GPZDA,1235" + std::to_string(10 + n) + ".000,23032024,00,00*5D\r\n";
}

TEST(VirtualSerialPort, ClientReadsThroughTheLink) {
  test::TempDir dir;
  VirtualSerialPort port((dir / "gps").string());
  EXPECT_EQ(fs::read_symlink(dir / "gps"), port.deviceName());
  Client client(dir / "gps");
  ASSERT_GE(client.fd(), 0);
  std::string sent;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(port.write(zdaBurst(i)), zdaBurst(i).size());
    sent += zdaBurst(i);
  }
  EXPECT_EQ(readAtLeast(client.fd(), sent.size()), sent);
  // What a client sends back is taken and dropped, never in the way.
  EXPECT_EQ(::write(client.fd(), "?WATCH\r\n", 8), 8);
  EXPECT_EQ(port.write(zdaBurst(3)), zdaBurst(3).size());
  EXPECT_EQ(readAtLeast(client.fd(), zdaBurst(3).size()), zdaBurst(3));
}

TEST(VirtualSerialPort, WithoutClientWritesNeverStallAndStayFresh) {
  test::TempDir dir;
  VirtualSerialPort port((dir / "gps").string());
  const std::string big(1000, 'x');
  for (int i = 0; i < 500; ++i) ASSERT_EQ(port.write(big), big.size()) << i;
  ASSERT_EQ(port.write(zdaBurst(1)), zdaBurst(1).size());
  // Someone connecting now gets the latest burst, not a backlog.
  Client client(dir / "gps");
  ASSERT_GE(client.fd(), 0);
  EXPECT_EQ(readAtLeast(client.fd(), zdaBurst(1).size() + 1, 200ms), zdaBurst(1));
}

TEST(VirtualSerialPort, ClientThatNeverReadsDoesNotStallTheWriter) {
  test::TempDir dir;
  VirtualSerialPort port((dir / "gps").string());
  Client client(dir / "gps");
  ASSERT_GE(client.fd(), 0);
  const std::string big(1000, 'x');
  for (int i = 0; i < 500; ++i) ASSERT_EQ(port.write(big), big.size()) << i;
}

TEST(VirtualSerialPort, ClientsComeAndGo) {
  test::TempDir dir;
  VirtualSerialPort port((dir / "gps").string());
  for (int round = 0; round < 3; ++round) {
    Client client(dir / "gps");
    ASSERT_GE(client.fd(), 0);
    ASSERT_EQ(port.write(zdaBurst(round)), zdaBurst(round).size());
    EXPECT_EQ(readAtLeast(client.fd(), zdaBurst(round).size()), zdaBurst(round));
  }
  EXPECT_EQ(port.write(zdaBurst(9)), zdaBurst(9).size());
}

TEST(VirtualSerialPort, ReplacesAStaleLinkAndRemovesItsOwnOnClose) {
  test::TempDir dir;
  const fs::path link = dir / "gps";
  fs::create_symlink("/dev/pts/no-such-terminal", link);
  {
    VirtualSerialPort port(link.string());
    EXPECT_EQ(port.path(), link.string());
    EXPECT_EQ(fs::read_symlink(link), port.deviceName());
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// Only the run holds the lock file, and the user alone may read it.
TEST(VirtualSerialPort, HoldsAPrivateLockFileWhileItLives) {
  test::TempDir dir;
  const fs::path lock = dir / "gps.lock";
  {
    VirtualSerialPort port((dir / "gps").string());
    EXPECT_EQ(fs::symlink_status(lock).type(), fs::file_type::regular);
    EXPECT_EQ(fs::status(lock).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(lock)));
}

// After a crash or a reboot the link may name a terminal that exists again,
// someone else's now; the unlocked lock file says the link was a run's.
TEST(VirtualSerialPort, ReplacesALinkItsUnlockedLockFileNames) {
  test::TempDir dir;
  test::PtyPair reused;
  const fs::path link = dir / "gps";
  fs::create_symlink(reused.name(), link);
  test::writeFile(dir / "gps.lock", reused.name());
  VirtualSerialPort port(link.string());
  EXPECT_EQ(fs::read_symlink(link), port.deviceName());
  EXPECT_EQ(test::readFile(dir / "gps.lock"), port.deviceName());
}

TEST(VirtualSerialPort, LeavesALinkThatIsNoLongerItsOwn) {
  test::TempDir dir;
  const fs::path link = dir / "gps";
  auto port = std::make_unique<VirtualSerialPort>(link.string());
  fs::remove(link);
  fs::create_symlink(dir / "elsewhere", link);
  port.reset();
  EXPECT_EQ(fs::read_symlink(link), dir / "elsewhere");
}

// A second run at the same path must not take the first run's clients away,
// nor delete a link of the user's.
TEST(VirtualSerialPort, RefusesALinkToSomethingThatExists) {
  test::TempDir dir;
  const fs::path link = dir / "gps";
  VirtualSerialPort first(link.string());
  Client client(link);
  ASSERT_GE(client.fd(), 0);
  test::writeFile(dir / "notes", "keep me");
  fs::create_symlink(dir / "notes", dir / "mine");
  // A live run whose link was deleted still holds the path.
  VirtualSerialPort unlinked((dir / "other").string());
  fs::remove(dir / "other");
  const std::string prefix = "Cannot create the virtual serial port ";
  const std::pair<fs::path, std::string> cases[] = {
      {link, prefix + link.string() + ": it links to the pseudo-terminal " + first.deviceName() +
                 ", which is in use."},
      {dir / "mine", prefix + (dir / "mine").string() + ": it is a symbolic link to " +
                         (dir / "notes").string() + ", which exists."},
      {dir / "other",
       prefix + (dir / "other").string() + ": another run of the simulator is using it."},
  };
  for (const auto& [path, message] : cases) {
    try {
      VirtualSerialPort second(path.string());
      ADD_FAILURE() << "took over " << path;
    } catch (const IoError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
  EXPECT_EQ(fs::read_symlink(link), first.deviceName());
  ASSERT_EQ(first.write(zdaBurst(0)), zdaBurst(0).size());
  EXPECT_EQ(readAtLeast(client.fd(), zdaBurst(0).size()), zdaBurst(0));
  EXPECT_EQ(fs::read_symlink(dir / "mine"), dir / "notes");
  EXPECT_EQ(test::readFile(dir / "notes"), "keep me");
  EXPECT_TRUE(fs::exists(dir / "gps.lock"));
  EXPECT_FALSE(fs::exists(dir / "mine.lock"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "other")));
}

// Another user at the same path (a shared folder such as /tmp) can neither
// take the lock nor the link.
TEST(VirtualSerialPort, AnotherUserCannotTakeAPathOver) {
  test::TempDir dir;
  fs::permissions(dir.path(), fs::perms::all | fs::perms::sticky_bit);
  const std::string path = (dir / "gps").string();
  VirtualSerialPort port(path);
  const std::string refused = test::runAsNobody([&] {
    try {
      VirtualSerialPort other(path);
      return std::string("took it over");
    } catch (const IoError& e) {
      return std::string(e.what());
    }
  });
  EXPECT_EQ(refused, "Cannot create the virtual serial port " + path + ": its lock file " + path +
                         ".lock: Permission denied.");
  EXPECT_EQ(fs::read_symlink(path), port.deviceName());
}

// Without $XDG_RUNTIME_DIR the default is still the user's own, so another
// user's simulator never holds it.
TEST(VirtualSerialPort, DefaultPathIsPerUser) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::optional<std::string> runtime =
      saved ? std::optional<std::string>(saved) : std::nullopt;
  setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
  EXPECT_EQ(VirtualSerialPort::defaultPath(), "/run/user/1234/waymock-gps");
  setenv("XDG_RUNTIME_DIR", "", 1);
  const passwd* user = getpwuid(geteuid());
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(VirtualSerialPort::defaultPath(), std::string("/tmp/waymock-gps-") + user->pw_name);
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(VirtualSerialPort::defaultPath(), std::string("/tmp/waymock-gps-") + user->pw_name);
  if (runtime) setenv("XDG_RUNTIME_DIR", runtime->c_str(), 1);
}

TEST(VirtualSerialPort, NeverOverwritesAFileOrFolder) {
  test::TempDir dir;
  test::writeFile(dir / "file", "keep me");
  fs::create_directory(dir / "folder");
  for (const char* name : {"file", "folder"}) {
    const std::string path = (dir / name).string();
    try {
      VirtualSerialPort port(path);
      FAIL() << "accepted " << path;
    } catch (const IoError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create the virtual serial port " + path +
                                           ": the path exists and is not a symbolic link.");
    }
  }
  EXPECT_EQ(test::readFile(dir / "file"), "keep me");
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
}

// A lock file planted as a link would have us create or write a file elsewhere.
TEST(VirtualSerialPort, RefusesALockFileThatIsALink) {
  test::TempDir dir;
  fs::create_symlink(dir / "target", dir / "gps.lock");
  const std::string path = (dir / "gps").string();
  try {
    VirtualSerialPort port(path);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create the virtual serial port " + path +
                                         ": its lock file " + path +
                                         ".lock: Too many levels of symbolic links.");
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "target")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "gps")));
}

TEST(VirtualSerialPort, ReportsAPathThatCannotBeCreated) {
  test::TempDir dir;
  test::writeFile(dir / "file", "");
  const std::string path = (dir / "file" / "gps").string();
  try {
    VirtualSerialPort port(path);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create the virtual serial port " + path + ": Not a directory.");
  }
}

class RecordingOpener final : public SerialPortOpener {
 public:
  std::unique_ptr<SerialDevice> open(const std::string& name, int) override {
    names.push_back(name);
    return nullptr;
  }
  std::vector<std::string> names;
};

// As the front ends use it: the generator gets the ports before the virtual
// port exists, and the port comes and goes with Start and Stop.
TEST(VirtualSerialPort, SerialPortsServeItsPathWhileSetAndPassOtherNamesOn) {
  test::TempDir dir;
  const std::string path = (dir / "gps").string();
  auto others = std::make_shared<RecordingOpener>();
  SerialPorts ports(others);
  EXPECT_EQ(ports.open(path, 4800), nullptr);
  std::unique_ptr<SerialDevice> device;
  {
    VirtualSerialPort port(path);
    ports.setVirtual(&port);
    EXPECT_EQ(ports.open("/dev/ttyUSB0", 4800), nullptr);
    device = ports.open(port.path(), 4800);
    ASSERT_NE(device, nullptr);
    EXPECT_NE(ports.open(port.deviceName(), 4800), nullptr);
    Client client(dir / "gps");
    EXPECT_EQ(device->write(zdaBurst(0), 100ms), zdaBurst(0).size());
    EXPECT_EQ(readAtLeast(client.fd(), zdaBurst(0).size()), zdaBurst(0));
    device->purge();
    // The port's own opener serves it the same way.
    EXPECT_NE(port.opener(others)->open(path, 4800), nullptr);
  }
  // The port is gone; the device the generator still holds writes nothing.
  EXPECT_EQ(device->write(zdaBurst(1), 100ms), 0u);
  EXPECT_EQ(ports.open(path, 4800), nullptr);
  ports.setVirtual(nullptr);
  EXPECT_EQ(ports.open(path, 4800), nullptr);
  EXPECT_EQ(others->names, (std::vector<std::string>{path, "/dev/ttyUSB0", path, path}));
}

}  // namespace
}  // namespace waymock
