#include "control/control_server.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <unordered_map>
#include <vector>

#include "platform/control_socket.h"
#include "platform/tcp_server.h"
#include "support/error.h"

namespace waymock::control {

namespace {

// Per service(): input read from one client (a few hundred short requests at
// most, well under a millisecond's work), and clients accepted, so that a
// flood from some delays none of the others, nor the tick.
constexpr std::size_t kReadSlice = 4 * 1024;
constexpr int kAcceptSlice = 64;
constexpr int kEventSlice = 256;
// Descriptors left to the rest of the process, as the TCP server leaves.
constexpr std::size_t kDescriptorReserve = TcpServer::kDescriptorReserve;

struct Client {
  std::string input;
  std::string output;
  std::size_t written = 0;  // of output
  bool subscribed = false;
  bool closing = false;  // drop once the output is written
  std::uint32_t watched = EPOLLIN;
};

}  // namespace

struct ControlServer::State {
  Answer answer;
  Limits limits;
  int epoll = -1;
  std::vector<int> listeners;
  std::string unixPath;
  int tcpPort = 0;
  std::unordered_map<int, Client> clients;
  std::size_t subscribers = 0;
  std::size_t dropped = 0;
  std::size_t refused = 0;

  void watch(int fd, std::uint32_t events, int op) const {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    ::epoll_ctl(epoll, op, fd, &event);
  }
  void addListener(int fd) {
    listeners.push_back(fd);
    watch(fd, EPOLLIN, EPOLL_CTL_ADD);
  }
  bool isListener(int fd) const {
    for (int l : listeners) {
      if (l == fd) return true;
    }
    return false;
  }

  void accept(int listener);
  void read(int fd, Client& c);
  void flush(int fd, Client& c);
  void queue(Client& c, std::string_view line);
  void drop(int fd);
};

void ControlServer::State::accept(int listener) {
  const std::size_t limit = TcpServer::descriptorLimit();
  const std::size_t room = limit > kDescriptorReserve ? limit - kDescriptorReserve : 0;
  for (int i = 0; i < kAcceptSlice; ++i) {
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (clients.size() >= limits.maxClients || static_cast<std::size_t>(fd) >= room) {
      ::close(fd);
      ++refused;
      continue;
    }
    clients.emplace(fd, Client{});
    watch(fd, EPOLLIN, EPOLL_CTL_ADD);
  }
}

void ControlServer::State::queue(Client& c, std::string_view line) {
  if (c.closing) return;
  if (c.output.size() - c.written + line.size() + 1 > limits.queueBytes) {
    // It does not read: its replies and stream would pile up without end.
    c.closing = true;
    c.output.clear();
    c.written = 0;
    ++dropped;
    return;
  }
  if (c.written > 0 && c.written == c.output.size()) {
    c.output.clear();
    c.written = 0;
  }
  c.output.append(line);
  c.output.push_back('\n');
}

void ControlServer::State::read(int fd, Client& c) {
  char buffer[kReadSlice];
  std::size_t taken = 0;
  while (taken < kReadSlice && !c.closing) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
      c.closing = true;  // gone, or said all it will say: what is queued still goes
      c.input.clear();
      break;
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    taken += static_cast<std::size_t>(n);
    std::size_t searched = c.input.size();
    c.input.append(buffer, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t end; (end = c.input.find('\n', searched)) != std::string::npos;
         searched = start = end + 1) {
      std::string_view line(c.input.data() + start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
      bool subscribe = false;
      const std::string reply = answer(line, subscribe);
      queue(c, reply);
      if (subscribe && !c.subscribed && !c.closing) {
        c.subscribed = true;
        ++subscribers;
      }
    }
    c.input.erase(0, start);
    if (c.input.size() > limits.lineBytes) {
      c.input.clear();
      queue(c, R"({"ok":false,"error":"The request is longer than )" +
                   std::to_string(limits.lineBytes) + R"( bytes; the connection is closed."})");
      c.closing = true;
    }
  }
}

void ControlServer::State::flush(int fd, Client& c) {
  while (c.written < c.output.size()) {
    const ssize_t n =
        ::send(fd, c.output.data() + c.written, c.output.size() - c.written, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN) {
        c.closing = true;
        c.output.clear();
        c.written = 0;
      }
      break;
    }
    c.written += static_cast<std::size_t>(n);
  }
  if (c.written == c.output.size()) {
    c.output.clear();
    c.written = 0;
  }
  // A client being closed is read no more: its end of input would wake every
  // service() call.
  const std::uint32_t wanted =
      (c.closing ? 0u : std::uint32_t{EPOLLIN}) | (c.output.empty() ? 0u : std::uint32_t{EPOLLOUT});
  if (wanted != c.watched) {
    c.watched = wanted;
    watch(fd, wanted, EPOLL_CTL_MOD);
  }
}

void ControlServer::State::drop(int fd) {
  const auto it = clients.find(fd);
  if (it == clients.end()) return;
  if (it->second.subscribed) --subscribers;
  ::epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
  ::close(fd);
  clients.erase(it);
}

ControlServer::ControlServer(Answer answer, Limits limits) : state_(std::make_unique<State>()) {
  state_->answer = std::move(answer);
  state_->limits = limits;
  state_->epoll = ::epoll_create1(EPOLL_CLOEXEC);
  if (state_->epoll < 0) raiseIo("Cannot start the control channel.", errno);
}

ControlServer::~ControlServer() {
  for (const auto& [fd, client] : state_->clients) ::close(fd);
  for (int fd : state_->listeners) ::close(fd);
  if (!state_->unixPath.empty()) removeControlSocket(state_->unixPath);
  ::close(state_->epoll);
}

void ControlServer::listenUnix(const std::string& path) {
  state_->addListener(listenControlSocket(path));
  state_->unixPath = path;
}

void ControlServer::listenTcp(const std::string& host, int port) {
  const int fd = listenControlTcp(host, port);
  state_->addListener(fd);
  state_->tcpPort = listeningPort(fd);
}

int ControlServer::tcpPort() const {
  return state_->tcpPort;
}

int ControlServer::fd() const {
  return state_->epoll;
}

void ControlServer::service() {
  State& s = *state_;
  std::array<epoll_event, kEventSlice> events{};
  const int n = ::epoll_wait(s.epoll, events.data(), kEventSlice, 0);
  for (int i = 0; i < n; ++i) {
    const int fd = events[static_cast<std::size_t>(i)].data.fd;
    const std::uint32_t what = events[static_cast<std::size_t>(i)].events;
    if (s.isListener(fd)) {
      s.accept(fd);
      continue;
    }
    const auto it = s.clients.find(fd);
    if (it == s.clients.end()) continue;
    Client& c = it->second;
    if ((what & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0 && !c.closing) s.read(fd, c);
    s.flush(fd, c);
    if (c.closing && c.output.empty()) s.drop(fd);
  }
}

void ControlServer::publish(std::string_view line) {
  State& s = *state_;
  if (s.subscribers == 0) return;
  std::vector<int> done;
  for (auto& [fd, c] : s.clients) {
    if (!c.subscribed) continue;
    s.queue(c, line);
    s.flush(fd, c);
    if (c.closing && c.output.empty()) done.push_back(fd);
  }
  for (int fd : done) s.drop(fd);
}

bool ControlServer::hasSubscribers() const {
  return state_->subscribers > 0;
}

std::size_t ControlServer::clientCount() const {
  return state_->clients.size();
}

std::size_t ControlServer::droppedClients() const {
  return state_->dropped;
}

std::size_t ControlServer::refusedClients() const {
  return state_->refused;
}

std::size_t ControlServer::heldBytes() const {
  std::size_t bytes = 0;
  for (const auto& [fd, c] : state_->clients) bytes += c.input.capacity() + c.output.capacity();
  return bytes;
}

}  // namespace waymock::control
