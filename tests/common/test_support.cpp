#include "common/test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace waymock::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "waymock-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only folders behind; make them writable to remove them.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::size_t countOf(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
  return n;
}

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::filesystem::path& file, std::string_view content) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + file.string());
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::vector<std::string> openFilesIn(const std::filesystem::path& folder) {
  std::filesystem::path wanted = folder.lexically_normal();
  if (!wanted.has_filename()) wanted = wanted.parent_path();  // a trailing "/"
  std::vector<std::string> files;
  std::error_code ignored;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", ignored)) {
    const std::filesystem::path target = std::filesystem::read_symlink(fd.path(), ignored);
    if (target.parent_path() == wanted) files.push_back(target.string());
  }
  return files;
}

LocaleGuard::LocaleGuard(const char* name) {
  const char* current = std::setlocale(LC_ALL, nullptr);
  previous_ = current ? current : "C";
  if (std::setlocale(LC_ALL, name) != nullptr) {
    ok_ = true;
    try {
      std::locale::global(std::locale(name));
    } catch (const std::runtime_error&) {
      ok_ = false;
    }
  }
}

LocaleGuard::~LocaleGuard() {
  std::setlocale(LC_ALL, previous_.c_str());
  std::locale::global(std::locale::classic());
}

ProcessResult runProcess(const std::vector<std::string>& args, std::string_view input,
                         std::chrono::milliseconds timeout,
                         const std::vector<std::string>& environment) {
  // Made before the fork: the child only execs.
  std::vector<std::string> variables = environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text = *entry;
    const auto named = [&](const std::string& given) {
      return given.substr(0, given.find('=')) == text.substr(0, text.find('='));
    };
    if (std::none_of(environment.begin(), environment.end(), named)) variables.emplace_back(text);
  }
  std::vector<char*> envp;
  for (auto& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0 ||
      pipe2(errPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  signal(SIGPIPE, SIG_IGN);

  ProcessResult result;
  std::size_t written = 0;
  int inFd = inPipe[1];
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  } else {
    fcntl(inFd, F_SETFL, O_NONBLOCK);
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool outOpen = true, errOpen = true, timedOut = false;
  char buffer[65536];
  while (outOpen || errOpen) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd fds[3] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                     {errOpen ? errPipe[0] : -1, POLLIN, 0},
                     {inFd, POLLOUT, 0}};
    if (poll(fds, 3, static_cast<int>(left.count())) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      } else {
        (i == 0 ? outOpen : errOpen) = false;
      }
    }
    if (inFd >= 0 && fds[2].revents != 0) {
      const ssize_t n = write(inFd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == input.size()) {
        close(inFd);
        inFd = -1;
      }
    }
  }
  if (inFd >= 0) close(inFd);
  close(outPipe[0]);
  close(errPipe[0]);
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = (!timedOut && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& args,
                                     const std::vector<int>& passed) {
  if (args.empty()) throw std::runtime_error("no program to start");
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    throw std::runtime_error("pipe failed");
  }
  const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  // Everything the child needs is prepared before fork: only exec-safe calls follow.
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    if (devNull >= 0) dup2(devNull, 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    // Moved out of the way first, so that placing one never overwrites another.
    std::array<int, 8> moved{};
    for (std::size_t i = 0; i < passed.size() && i < moved.size(); ++i) {
      moved[i] = fcntl(passed[i], F_DUPFD_CLOEXEC, 64);
    }
    for (std::size_t i = 0; i < passed.size() && i < moved.size(); ++i) {
      dup2(moved[i], static_cast<int>(3 + i));
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (devNull >= 0) close(devNull);
  close(outPipe[1]);
  close(errPipe[1]);
  if (pid_ < 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    throw std::runtime_error("fork failed");
  }
  signal(SIGPIPE, SIG_IGN);
  outFd_ = outPipe[0];
  errFd_ = errPipe[0];
  reader_ = std::thread([this] { collect(); });
}

BackgroundProcess::~BackgroundProcess() {
  stop();
  if (reader_.joinable()) reader_.join();
  close(outFd_);
  close(errFd_);
}

void BackgroundProcess::collect() {
  bool outOpen = true, errOpen = true;
  char buffer[16384];
  // Bounded even if a descendant of the program keeps the pipes open: once
  // the program is reaped, a quiet second ends the collection.
  int quietAfterExit = 0;
  while ((outOpen || errOpen) && quietAfterExit < 10) {
    bool held = false;
    {
      std::lock_guard lock(mutex_);
      held = outHeld_;
    }
    pollfd fds[2] = {{outOpen && !held ? outFd_ : -1, POLLIN, 0},
                     {errOpen ? errFd_ : -1, POLLIN, 0}};
    const int ready = poll(fds, 2, 100);
    if (ready <= 0) {
      std::lock_guard lock(mutex_);
      if (exit_) ++quietAfterExit;
      continue;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      std::lock_guard lock(mutex_);
      if (n > 0) {
        (i == 0 ? out_ : err_).append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        (i == 0 ? outOpen : errOpen) = false;
      }
    }
  }
  std::lock_guard lock(mutex_);
  outputClosed_ = true;
}

void BackgroundProcess::holdOutput(bool held) {
  std::lock_guard lock(mutex_);
  outHeld_ = held;
}

std::string BackgroundProcess::out() const {
  std::lock_guard lock(mutex_);
  return out_;
}

std::string BackgroundProcess::err() const {
  std::lock_guard lock(mutex_);
  return err_;
}

bool BackgroundProcess::reap(int options) {
  if (exit_) return true;
  int status = 0;
  const pid_t r = waitpid(pid_, &status, options);
  if (r != pid_) return false;
  std::lock_guard lock(mutex_);
  exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

bool BackgroundProcess::waitForOutput(const std::function<bool(const std::string&)>& done,
                                      std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    bool closed = false;
    {
      std::lock_guard lock(mutex_);
      if (done(out_)) return true;
      closed = outputClosed_;
    }
    if (closed || std::chrono::steady_clock::now() >= deadline) return false;
    if (reap(WNOHANG)) {
      // Let the collector take what the program wrote before it ended.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      std::lock_guard lock(mutex_);
      if (done(out_)) return true;
      if (outputClosed_) return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::optional<int> BackgroundProcess::waitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!reap(WNOHANG)) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return exit_;
}

int BackgroundProcess::stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0) return -1;
  if (!reap(WNOHANG)) {
    kill(pid_, SIGTERM);
    if (!waitForExit(grace)) {
      kill(pid_, SIGKILL);
      reap(0);
    }
  }
  return *exit_;
}

std::string findProgram(const std::string& name) {
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  path += ":/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find(':', start), path.size());
    const std::string folder = path.substr(start, end - start);
    start = end + 1;
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + name;
    struct stat info {};
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return {};
}

int tcpPortOf(BackgroundProcess& simulator, std::size_t index, std::chrono::milliseconds timeout) {
  const std::string said = "TCP clients connect to ";
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::string err = simulator.err();
    std::size_t at = err.find(said);
    for (std::size_t i = 0; i < index && at != std::string::npos; ++i) at = err.find(said, at + 1);
    const std::size_t end = at == std::string::npos ? at : err.find('\n', at);
    if (end != std::string::npos) return std::stoi(err.substr(err.rfind(':', end) + 1));
    if (simulator.waitForExit(std::chrono::milliseconds(0)) ||
        std::chrono::steady_clock::now() >= deadline) {
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

namespace {

// The loopback address of `family` with `port`, ready for bind or connect.
sockaddr_storage loopback(int family, int port, socklen_t& length) {
  sockaddr_storage storage{};
  if (family == AF_INET6) {
    auto& v6 = reinterpret_cast<sockaddr_in6&>(storage);
    v6.sin6_family = AF_INET6;
    v6.sin6_addr = in6addr_loopback;
    v6.sin6_port = htons(static_cast<std::uint16_t>(port));
    length = sizeof v6;
  } else {
    auto& v4 = reinterpret_cast<sockaddr_in&>(storage);
    v4.sin_family = AF_INET;
    v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    v4.sin_port = htons(static_cast<std::uint16_t>(port));
    length = sizeof v4;
  }
  return storage;
}

int portOf(const sockaddr_storage& address) {
  return address.ss_family == AF_INET6
             ? ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port)
             : ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

}  // namespace

bool hasIpv6Loopback() {
  const int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  socklen_t length = 0;
  const sockaddr_storage address = loopback(AF_INET6, 0, length);
  const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
  ::close(fd);
  return bound;
}

UdpReceiver::UdpReceiver(int family) : fd_(::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  socklen_t length = 0;
  sockaddr_storage address = loopback(family, 0, length);
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd_ >= 0) ::close(fd_);
    throw std::runtime_error("cannot bind a UDP socket");
  }
  port_ = portOf(address);
}

UdpReceiver::~UdpReceiver() {
  ::close(fd_);
}

std::optional<std::string> UdpReceiver::receive(int waitMs) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, waitMs) <= 0) return std::nullopt;
  char buffer[65536];
  const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
  if (n < 0) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(n));
}

RefusingUdpPort::RefusingUdpPort() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  socklen_t length = 0;
  sockaddr_storage address = loopback(AF_INET, 0, length);
  // Connected to itself, the socket takes datagrams from no one else; the
  // system answers them as for a port without a socket.
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      connect(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    if (fd_ >= 0) ::close(fd_);
    throw std::runtime_error("cannot hold a UDP port");
  }
  port_ = portOf(address);
}

RefusingUdpPort::~RefusingUdpPort() {
  ::close(fd_);
}

std::string runAsNobody(const std::function<std::string()>& work) {
  constexpr uid_t kNobody = 65534;
  int channel[2];
  if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    close(channel[0]);
    std::string result;
    if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      result = "cannot become nobody";
    } else {
      try {
        result = work();
      } catch (const std::exception& e) {
        result = std::string("unexpected: ") + e.what();
      }
    }
    [[maybe_unused]] const ssize_t n = write(channel[1], result.data(), result.size());
    _exit(0);
  }
  close(channel[1]);
  std::string result;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = read(channel[0], buffer, sizeof buffer)) > 0) {
    result.append(buffer, static_cast<std::size_t>(n));
  }
  close(channel[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return result;
}

void giveToNobody(const std::filesystem::path& path) {
  if (geteuid() == 0 && chown(path.c_str(), 65534, 65534) != 0)
    throw std::runtime_error("cannot hand " + path.string() + " to nobody");
}

TcpClient::TcpClient(int port, int receiveBuffer, int family)
    : fd_(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  if (fd_ < 0) throw std::runtime_error("socket failed");
  if (receiveBuffer > 0) {
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  }
  socklen_t length = 0;
  const sockaddr_storage address = loopback(family, port, length);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    ::close(fd_);
    throw std::runtime_error("connect failed");
  }
}

TcpClient::TcpClient(const std::string& path)
    : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  if (fd_ < 0 || ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (fd_ >= 0) ::close(fd_);
    throw std::runtime_error("cannot connect to " + path);
  }
}

void TcpClient::finishSending() {
  ::shutdown(fd_, SHUT_WR);
}

TcpClient::~TcpClient() {
  ::close(fd_);
}

bool TcpClient::readUntil(const std::function<bool(const std::string&)>& done, int waitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!done(received_)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (closed_ || left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      closed_ = true;
    } else {
      received_.append(buffer, static_cast<std::size_t>(n));
    }
  }
  return true;
}

void TcpClient::write(std::string_view bytes) {
  if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) {
    throw std::runtime_error("send failed");
  }
}

EnvGuard::EnvGuard(const char* name, std::optional<std::string> value) : name_(name) {
  if (const char* old = getenv(name)) previous_ = old;
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

EnvGuard::~EnvGuard() {
  if (previous_) {
    setenv(name_, previous_->c_str(), 1);
  } else {
    unsetenv(name_);
  }
}

}  // namespace waymock::test
