#include "control/control_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/test_support.h"
#include "platform/control_socket.h"
#include "platform/control_token.h"
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

int connectTcp(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  return fd;
}

void send(int fd, std::string_view text) {
  ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

// An echo of the request, a subscription for "sub", and for "later" a reply
// that waits until the test gives it.
class ControlServerTest : public ::testing::Test {
 protected:
  ControlServerTest() {
    limits.lineBytes = 4096;
    limits.queueBytes = 16 * 1024;
  }
  ControlServer& server() {
    if (!server_) {
      server_ = std::make_unique<ControlServer>(
          [this](std::string_view request, const ControlServer::Reply& reply, bool& subscribe) {
            subscribe = request == "sub";
            if (request == "later") {
              later.push_back(reply);
            } else {
              reply("re " + std::string(request));
            }
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
  std::vector<ControlServer::Reply> later;
  std::unique_ptr<ControlServer> server_;
};

// A reply that comes later holds back the client's next requests, whose
// replies follow it in order; a last request without its line end is
// answered when the client stops sending.
TEST_F(ControlServerTest, RepliesKeepTheOrderOfRequestsAndTheLastLineIsAnswered) {
  server();
  const int client = connectUnix(path);
  send(client, "later\nnext\nlast");
  ::shutdown(client, SHUT_WR);
  ASSERT_TRUE(serviceUntil([&] { return later.size() == 1; }));
  for (int i = 0; i < 100; ++i) server().service();
  EXPECT_EQ(drain(client), "") << "nothing before the reply that is to come";
  later[0]("done");
  std::string got;
  ASSERT_TRUE(serviceUntil([&] { return (got += drain(client)).size() >= 21; }));
  EXPECT_EQ(got, "done\nre next\nre last\n");
  EXPECT_TRUE(serviceUntil([&] { return server().clientCount() == 0; }));
  ::close(client);
}

// The owner's socket answers however many clients hold the others: at a cap
// a newcomer takes the place of the one idle the longest, on TCP of one that
// has not said hello; a client that sends nothing for the idle limit is
// closed, a subscriber is not.
TEST_F(ControlServerTest, CapsAndTheIdleLimitKeepRoomForTheOwner) {
  test::TempDir run;
  test::EnvGuard runtime("XDG_RUNTIME_DIR", run.path().string());
  limits.maxUnixClients = 2;
  limits.maxTcpClients = 2;
  limits.idleLimit = std::chrono::milliseconds(300);
  server().listenTcp("127.0.0.1", 0);
  const std::string token = readControlToken(server().tokenFile());
  const int subscriber = connectUnix(path);
  send(subscriber, "sub\n");
  ASSERT_TRUE(serviceUntil([&] { return drain(subscriber) == "re sub\n"; }));
  const int idle = connectUnix(path);
  const int tcpIdle[] = {connectTcp(server().tcpPort()), connectTcp(server().tcpPort())};
  ASSERT_TRUE(serviceUntil([&] { return server().clientCount() == 4; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const int owner = connectUnix(path);
  send(owner, "status\n");
  std::string got;
  ASSERT_TRUE(serviceUntil([&] { return (got += drain(owner)) == "re status\n"; }));
  EXPECT_NE(drain(idle).find("idle the longest"), std::string::npos);
  const int ownerTcp = connectTcp(server().tcpPort());
  send(ownerTcp, R"({"cmd":"hello","token":")" + token + "\"}\nstatus\n");
  got.clear();
  ASSERT_TRUE(serviceUntil([&] { return (got += drain(ownerTcp)).ends_with("re status\n"); }));
  EXPECT_EQ(got, "{\"ok\":true}\nre status\n");
  EXPECT_NE(drain(tcpIdle[0]).find("idle the longest"), std::string::npos);
  // Quiet from now on: all but the subscriber go.
  ASSERT_TRUE(serviceUntil([&] { return server().clientCount() == 1; }, 2'000'000));
  server().publish("burst");
  EXPECT_TRUE(serviceUntil([&] { return drain(subscriber).ends_with("burst\n"); }));
  for (const int fd : {subscriber, idle, tcpIdle[0], tcpIdle[1], owner, ownerTcp}) ::close(fd);
}

// On TCP, which any local user reaches, nothing is answered before a hello
// with the token: anything else gets one error and the connection closes.
TEST_F(ControlServerTest, TcpClientsMustSayHelloWithTheToken) {
  test::TempDir run;
  test::EnvGuard runtime("XDG_RUNTIME_DIR", run.path().string());
  server().listenTcp("127.0.0.1", 0);
  const std::string file = server().tokenFile();
  EXPECT_EQ(file,
            run.path().string() + "/waymock/tcp-" + std::to_string(server().tcpPort()) + ".token");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(readControlToken(file).size(), 64u);
  for (const char* attempt :
       {R"({"cmd":"move","route":"/etc/shadow"})", R"({"cmd":"hello","token":"guess"})"}) {
    const int client = connectTcp(server().tcpPort());
    send(client, attempt + std::string("\nstatus\n"));
    std::string got;
    ASSERT_TRUE(serviceUntil(
        [&] { return (got += drain(client)).ends_with("\n") && server().clientCount() == 0; }));
    EXPECT_EQ(
        got,
        R"({"error":"The first request on TCP must be {\"cmd\":\"hello\",\"token\":\"...\"} with the token in )" +
            file +
            R"(; the connection is closed.","ok":false})"
            "\n");
    ::close(client);
  }
  server_.reset();
  EXPECT_FALSE(fs::exists(file)) << "removed with the server";
}

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
      R"({"error":"The request is longer than 4096 bytes; the connection is closed.","ok":false})"
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
    ControlServer other([](std::string_view, const ControlServer::Reply&, bool&) {});
    other.listenUnix(path);
    ADD_FAILURE() << "listened twice";
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()), "Another simulator listens on " + path + ".");
  }
  // One left by a process that ended is taken over.
  const int leftOver = listenControlSocket((dir / "old.sock").string());
  ::close(leftOver);
  ControlServer next([](std::string_view, const ControlServer::Reply&, bool&) {});
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

// A folder others may write in without the sticky bit would let them delete
// the socket and listen in its place: neither the simulator nor a client
// uses it. A process of another user is refused by the simulator even when
// the socket's mode would let it in.
TEST_F(ControlServerTest, OtherUsersCanNeitherTakeTheSocketsPlaceNorSteer) {
  fs::create_directory(dir / "open");
  fs::permissions(dir / "open", fs::perms::all);
  const std::string open = (dir / "open" / "control.sock").string();
  const std::string why = "Other users may write in the control folder " + (dir / "open").string() +
                          ", so they could replace the socket; use a folder only you can write "
                          "in, or one with the sticky bit (mode 1777, as /tmp).";
  for (const auto& attempt : {std::function<int()>([&] { return listenControlSocket(open); }),
                              std::function<int()>([&] { return connectControlSocket(open); })}) {
    try {
      ::close(attempt());
      ADD_FAILURE() << "used an open folder";
    } catch (const IoError& e) {
      EXPECT_EQ(e.what(), why);
    }
  }
  fs::permissions(dir / "open", fs::perms::sticky_bit, fs::perm_options::add);
  ::close(listenControlSocket(open));

  if (::geteuid() != 0) GTEST_SKIP() << "needs a second user";
  server();
  fs::permissions(dir.path(), fs::perms::all);
  ::chmod(path.c_str(), 0666);
  std::string theirs;
  std::thread serve(
      [&] { serviceUntil([&] { return server().refusedClients() > 0; }, 1'000'000); });
  theirs = test::runAsNobody([&] {
    const int fd = connectUnix(path);
    ::send(fd, "status\n", 7, MSG_NOSIGNAL);
    std::string got;
    char buffer[256];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) got.append(buffer, n);
    return got;
  });
  serve.join();
  EXPECT_EQ(theirs, R"({"error":"This simulator takes orders from its own user only.","ok":false})"
                    "\n");
}

}  // namespace
}  // namespace waymock::control
