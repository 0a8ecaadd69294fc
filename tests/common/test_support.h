#pragma once

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace waymock::test {

// Caps the size of files this process writes (root included) for its lifetime;
// writes past the cap fail with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = SIG_DFL;
};

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
// How often `what` occurs in `text`, without overlaps.
std::size_t countOf(const std::string& text, const std::string& what);
void writeFile(const std::filesystem::path& file, std::string_view content);
// The files this process holds open in `folder` (not below it), by the paths
// their descriptors name: a removed file's ends with " (deleted)".
std::vector<std::string> openFilesIn(const std::filesystem::path& folder);

// Switches the C and C++ global locale for its lifetime. ok() is false when the
// locale is not installed on this machine.
class LocaleGuard {
 public:
  explicit LocaleGuard(const char* name);
  ~LocaleGuard();
  bool ok() const { return ok_; }

 private:
  std::string previous_;
  bool ok_ = false;
};

// Sets an environment variable (or, given nothing, removes it) for its
// lifetime, and puts back what was there before.
class EnvGuard {
 public:
  EnvGuard(const char* name, std::optional<std::string> value);
  ~EnvGuard();
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

// A locale whose decimal separator is "," (installed by scripts/test).
inline constexpr const char* kDecimalCommaLocale = "de_DE.UTF-8";

struct ProcessResult {
  int exitCode = -1;  // -1 when killed by a signal or timed out
  std::string out;
  std::string err;
};

// Runs a program with arguments, feeds `input` on standard input, and collects
// its output. The program is killed after `timeout`. It gets this process's
// environment with the "NAME=value" entries of `environment` set on top.
ProcessResult runProcess(const std::vector<std::string>& args, std::string_view input = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(30),
                         const std::vector<std::string>& environment = {});

// Path of the built command-line tool.
inline std::string cliPath() {
  return WAYMOCK_CLI_PATH;
}

// A program running beside the test (a daemon, a client, the simulator). Its
// standard output and error are collected by a thread of their own, so the
// program never blocks on a full pipe. It is stopped by its id, at the latest
// when the object ends.
class BackgroundProcess {
 public:
  // Starts args[0] (a path) with the arguments; throws when it cannot start.
  // The descriptors of `passed` become the program's 3, 4 and on, as a
  // service manager hands over the sockets it listens on.
  explicit BackgroundProcess(const std::vector<std::string>& args,
                             const std::vector<int>& passed = {});
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  pid_t pid() const { return pid_; }
  // While held, standard output is not read, so the program's writes fill the
  // pipe and then find it full, as with a reader that stalls (`| less`).
  void holdOutput(bool held);
  std::string out() const;
  std::string err() const;

  // Waits until `done` holds for the output collected so far, the program has
  // ended, or `timeout` has passed; returns whether `done` held.
  bool waitForOutput(const std::function<bool(const std::string& out)>& done,
                     std::chrono::milliseconds timeout);
  // Waits up to `timeout` for the program to end by itself: its exit code, -1
  // when a signal ended it, nothing when it is still running.
  std::optional<int> waitForExit(std::chrono::milliseconds timeout);
  // SIGTERM, then SIGKILL when it has not ended within `grace`; reaps it.
  // Returns as waitForExit; calling it again returns the same result.
  int stop(std::chrono::milliseconds grace = std::chrono::seconds(3));

 private:
  void collect();
  bool reap(int options);

  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::optional<int> exit_;
  mutable std::mutex mutex_;
  std::string out_;
  std::string err_;
  bool outputClosed_ = false;
  bool outHeld_ = false;
  std::thread reader_;
};

// The full path of a program found on PATH or in the system folders
// (/usr/sbin, /sbin); empty when it is not installed.
std::string findProgram(const std::string& name);

// The port of the simulator's `index`-th TCP server, which it names on
// standard error ("TCP clients connect to 127.0.0.1:PORT") once it listens:
// with --tcp 0 the system picked it. 0 when it has not within `timeout`, or
// has ended.
int tcpPortOf(BackgroundProcess& simulator, std::size_t index = 0,
              std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Whether this machine has the IPv6 loopback address ::1 (a container may not).
bool hasIpv6Loopback();

// A UDP socket bound to a free port on 127.0.0.1 (or ::1 for AF_INET6), for
// checking what is sent.
class UdpReceiver {
 public:
  explicit UdpReceiver(int family = AF_INET);
  ~UdpReceiver();
  UdpReceiver(const UdpReceiver&) = delete;
  UdpReceiver& operator=(const UdpReceiver&) = delete;

  int port() const { return port_; }
  // The next datagram, or nothing within the wait.
  std::optional<std::string> receive(int waitMs = 1000);

 private:
  int fd_;
  int port_ = 0;
};

// A UDP port on 127.0.0.1 that refuses what is sent to it, as one that
// nobody listens on does, and that no other program can take meanwhile.
class RefusingUdpPort {
 public:
  RefusingUdpPort();
  ~RefusingUdpPort();
  RefusingUdpPort(const RefusingUdpPort&) = delete;
  RefusingUdpPort& operator=(const RefusingUdpPort&) = delete;

  int port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

// Runs `work` in a child process, as the unprivileged user "nobody" when the
// test runs as root (permissions do not stop root), and returns what it
// returned ("unexpected: <message>" for an exception). The child ends with
// _exit, so no exit handlers or leak checks run in the copy of the test.
std::string runAsNobody(const std::function<std::string()>& work);
// Hands `path` to "nobody" when the test runs as root, so runAsNobody's work
// owns what it should; does nothing otherwise.
void giveToNobody(const std::filesystem::path& path);

// A TCP connection to a server on 127.0.0.1 (or ::1 for AF_INET6), for
// checking what it serves.
class TcpClient {
 public:
  // A non-zero `receiveBuffer` shrinks the system's buffer, so that a client
  // that does not read fills it soon.
  explicit TcpClient(int port, int receiveBuffer = 0, int family = AF_INET);
  // A connection to a Unix stream socket at `path`, read the same way.
  explicit TcpClient(const std::string& path);
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  // Reads until `done` holds for all that was received so far, the server
  // closed the connection, or `waitMs` passed; returns whether `done` held.
  bool readUntil(const std::function<bool(const std::string& received)>& done, int waitMs = 5000);
  const std::string& received() const { return received_; }
  // True once a read found the connection closed by the server.
  bool closed() const { return closed_; }
  void write(std::string_view bytes);
  // Says that nothing more will be sent (a half-close); receiving goes on.
  void finishSending();

 private:
  int fd_;
  std::string received_;
  bool closed_ = false;
};

}  // namespace waymock::test
