#include "control/control_server.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/test_support.h"
#include "platform/control_socket.h"
#include "support/error.h"

namespace waymock::control {
namespace {

namespace fs = std::filesystem;

int connectUnix(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0)
      << std::strerror(errno);
  return fd;
}

// What a client has received so far, without waiting.
std::string drain(int fd) {
  std::string got;
  char buffer[65536];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

// An echo of the request, and a subscription for "sub".
class ControlServerTest : public ::testing::Test {
 protected:
  ControlServerTest() {
    limits.lineBytes = 4096;
    limits.queueBytes = 16 * 1024;
  }
  ControlServer& server() {
    if (!server_) {
      server_ = std::make_unique<ControlServer>(
          [](std::string_view request, bool& subscribe) {
            subscribe = request == "sub";
            return "re " + std::string(request);
          },
          limits);
      server_->listenUnix(path);
    }
    return *server_;
  }
  // Services the server until `done` or a bound of rounds; true when done.
  bool serviceUntil(const std::function<bool()>& done, int rounds = 20000) {
    for (int i = 0; i < rounds; ++i) {
      server().service();
      if (done()) return true;
      std::this_thread::yield();
    }
    return false;
  }

  test::TempDir dir;
  std::string path = (dir / "control.sock").string();
  ControlServer::Limits limits;
  std::unique_ptr<ControlServer> server_;
};

TEST_F(ControlServerTest, AnswersEachLineInOrderAndStreamsToSubscribers) {
  const int client = connectUnix(path = (server(), path));
  const std::string requests = "one\r\n\n  \ntwo\nsub\n";
  ASSERT_EQ(::send(client, requests.data(), requests.size(), 0),
            static_cast<ssize_t>(requests.size()));
  std::string got;
  ASSERT_TRUE(serviceUntil([&] { return (got += drain(client)).size() >= 19; }));
  EXPECT_EQ(got, "re one\nre two\nre sub\n");
  server().publish("burst");
  ASSERT_TRUE(serviceUntil([&] { return (got += drain(client)).ends_with("burst\n"); }));
  EXPECT_EQ(server().clientCount(), 1u);
  ::close(client);
  EXPECT_TRUE(serviceUntil([&] { return server().clientCount() == 0; }));
}

// A line without end gets a reply saying why and the connection closes; the
// server never holds much more than the longest line allowed.
TEST_F(ControlServerTest, AHundredMegabyteLineIsRefusedWithBoundedMemory) {
  server();
  const int client = connectUnix(path);
  std::atomic<bool> sent{false};
  std::thread flood([&] {
    const std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 100; ++i) {
      if (::send(client, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0) break;
    }
    sent = true;
  });
  std::size_t most = 0;
  const bool dropped = serviceUntil(
      [&] {
        most = std::max(most, server().heldBytes());
        return server().clientCount() == 0 && sent;
      },
      1000000);
  flood.join();
  EXPECT_TRUE(dropped);
  EXPECT_LT(most, 256u * 1024) << "bytes held at most";
  EXPECT_EQ(
      drain(client),
      R"({"ok":false,"error":"The request is longer than 4096 bytes; the connection is closed."})"
      "\n");
  EXPECT_EQ(server().droppedClients(), 0u);
  ::close(client);
}

TEST_F(ControlServerTest, AClientThatNeverReadsIsDroppedWhenItsQueueIsFull) {
  server();
  const int stalled = connectUnix(path);
  const int reader = connectUnix(path);
  ASSERT_EQ(::send(stalled, "sub\n", 4, 0), 4);
  ASSERT_EQ(::send(reader, "sub\n", 4, 0), 4);
  std::string got;
  ASSERT_TRUE(serviceUntil([&] { return (got += drain(reader)) == "re sub\n"; }));
  const std::string line(1000, 'b');
  for (int i = 0; i < 2000 && server().droppedClients() == 0; ++i) {
    server().publish(line);
    server().service();
    drain(reader);
  }
  EXPECT_EQ(server().droppedClients(), 1u);
  EXPECT_EQ(server().clientCount(), 1u);
  EXPECT_LT(server().heldBytes(), 64u * 1024);
  ::close(stalled);
  ::close(reader);
}

TEST_F(ControlServerTest, AThousandClientsAreAllAnswered) {
  server();
  std::vector<int> clients;
  for (int i = 0; i < 1000; ++i) {
    clients.push_back(connectUnix(path));
    if (i % 50 == 0) server().service();
  }
  for (int fd : clients) ASSERT_EQ(::send(fd, "hi\n", 3, 0), 3);
  std::vector<std::string> got(clients.size());
  std::size_t answered = 0;
  ASSERT_TRUE(serviceUntil(
      [&] {
        for (std::size_t i = 0; i < clients.size(); ++i) {
          if (got[i].empty() && !(got[i] = drain(clients[i])).empty()) ++answered;
        }
        return answered == clients.size();
      },
      2000));
  for (const std::string& g : got) EXPECT_EQ(g, "re hi\n");
  for (int fd : clients) ::close(fd);
}

TEST_F(ControlServerTest, TheSocketIsPrivateAndAStaleOneIsReplaced) {
  server();
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // A second simulator on the same path is refused while this one listens.
  try {
    ControlServer other([](std::string_view, bool&) { return std::string(); });
    other.listenUnix(path);
    ADD_FAILURE() << "listened twice";
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()), "Another simulator listens on " + path + ".");
  }
  // One left by a process that ended is taken over.
  const int leftOver = listenControlSocket((dir / "old.sock").string());
  ::close(leftOver);
  ControlServer next([](std::string_view, bool&) { return std::string("yes"); });
  next.listenUnix((dir / "old.sock").string());
  const int client = connectUnix((dir / "old.sock").string());
  ::close(client);
  server_.reset();
  EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
}

TEST(ControlSocket, RefusesFoldersAndFilesOfOthersAndAnOpenDefaultFolder) {
  test::TempDir dir;
  fs::create_directory(dir / "run");
  test::EnvGuard runtime("XDG_RUNTIME_DIR", (dir / "run").string());
  EXPECT_EQ(defaultControlSocketPath(), (dir / "run" / "waymock" / "control.sock").string());
  // Made private when missing.
  ::close(listenControlSocket(defaultControlSocketPath()));
  struct stat info {};
  ASSERT_EQ(::stat((dir / "run" / "waymock").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ::chmod((dir / "run" / "waymock").c_str(), 0755);
  try {
    listenControlSocket(defaultControlSocketPath());
    ADD_FAILURE() << "listened in an open folder";
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()),
              "The control folder " + (dir / "run" / "waymock").string() +
                  " is open to other users; it must be private (mode 0700).");
  }
  test::writeFile(dir / "file", "x");
  try {
    listenControlSocket((dir / "file").string());
    ADD_FAILURE() << "replaced a file";
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()),
              (dir / "file").string() + " exists and is not a control socket.");
  }
  // Another user's folder: the test's, seen by "nobody" when run as root.
  fs::permissions(dir.path(),
                  fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
  if (::geteuid() == 0) {
    const std::string path = (dir / "theirs.sock").string();
    EXPECT_EQ(test::runAsNobody([&] {
                try {
                  ::close(listenControlSocket(path));
                  return std::string("listened");
                } catch (const IoError& e) {
                  return std::string(e.what());
                }
              }),
              "The control folder " + dir.path().string() + " belongs to another user.");
  }
}

}  // namespace
}  // namespace waymock::control
