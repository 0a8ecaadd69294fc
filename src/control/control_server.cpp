#include "control/control_server.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <unordered_map>
#include <vector>

#include "platform/control_socket.h"
#include "platform/control_token.h"
#include "platform/tcp_server.h"
#include "support/error.h"

namespace waymock::control {

namespace {

using Clock = std::chrono::steady_clock;

// Per service(): input read from one client (a few hundred short requests at
// most, well under a millisecond's work), and clients accepted, so that a
// flood from some delays none of the others, nor the tick.
constexpr std::size_t kReadSlice = 4 * 1024;
constexpr int kAcceptSlice = 64;
constexpr int kEventSlice = 256;
// Descriptors left to the rest of the process, as the TCP server leaves.
constexpr std::size_t kDescriptorReserve = TcpServer::kDescriptorReserve;

std::string errorLine(const std::string& why) {
  return nlohmann::json{{"ok", false}, {"error", why}}.dump();
}

// A line to a client about to be closed, as far as its buffer takes it.
void tell(int fd, const std::string& why) {
  const std::string line = errorLine(why) + "\n";
  [[maybe_unused]] const ssize_t n =
      ::send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

struct Client {
  std::uint64_t serial = 0;
  bool tcp = false;
  bool trusted = false;  // of the user, or said hello with the token
  std::string input;
  std::size_t scanned = 0;  // of input, without a line end
  std::string output;
  std::size_t written = 0;  // of output
  bool subscribed = false;
  bool ended = false;    // sent all it will send
  bool closing = false;  // drop once the output is written
  bool answering = false;
  std::uint64_t awaiting = 0;  // the request whose reply is to come; 0: none
  Clock::time_point heard;
  std::uint32_t watched = EPOLLIN;
};

}  // namespace

struct ControlServer::State : std::enable_shared_from_this<State> {
  Answer answer;
  Limits limits;
  int epoll = -1;
  int timer = -1;
  std::vector<std::pair<int, bool>> listeners;  // descriptor, TCP
  std::unordered_map<int, std::function<void()>> watched;
  std::string unixPath;
  int tcpPort = 0;
  std::string token;
  std::string tokenFile;
  std::unordered_map<int, Client> clients;
  std::uint64_t serials = 0;
  std::uint64_t requests = 0;
  std::size_t subscribers = 0;
  std::size_t dropped = 0;
  std::size_t refused = 0;

  void watch(int fd, std::uint32_t events, int op) const {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    ::epoll_ctl(epoll, op, fd, &event);
  }
  std::size_t tcpClients = 0;  // of clients

  void accept(int listener, bool tcp);
  bool makeRoom(bool tcp);
  void read(int fd, Client& c);
  void answerLines(int fd, Client& c);
  void hello(Client& c, std::string_view line);
  void replied(int fd, std::uint64_t serial, std::uint64_t request, std::string_view line);
  void flush(int fd, Client& c);
  void queue(Client& c, std::string_view line);
  void sweep();
  void drop(int fd);
};

void ControlServer::State::accept(int listener, bool tcp) {
  const std::size_t limit = TcpServer::descriptorLimit();
  const std::size_t reserve = kDescriptorReserve + (tcp ? limits.unixReserve : 0);
  const std::size_t room = limit > reserve ? limit - reserve : 0;
  for (int i = 0; i < kAcceptSlice; ++i) {
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (!tcp) {
      const auto peer = peerUserId(fd);
      if (!peer || !trustedUser(*peer)) {
        tell(fd, "This simulator takes orders from its own user only.");
        ::close(fd);
        ++refused;
        continue;
      }
    }
    // The system hands out the lowest free descriptor: one this high means
    // the process is near its limit.
    const std::size_t count = tcp ? tcpClients : clients.size() - tcpClients;
    const bool full = count >= (tcp ? limits.maxTcpClients : limits.maxUnixClients) ||
                      static_cast<std::size_t>(fd) >= room;
    if (full && !makeRoom(tcp)) {
      tell(fd, "Too many control clients; try again later.");
      ::close(fd);
      ++refused;
      continue;
    }
    Client& c = clients[fd];
    c.serial = ++serials;
    c.tcp = tcp;
    c.trusted = !tcp;
    c.heard = Clock::now();
    tcpClients += tcp ? 1 : 0;
    watch(fd, EPOLLIN, EPOLL_CTL_ADD);
  }
}

bool ControlServer::State::makeRoom(bool tcp) {
  int oldest = -1;
  for (const auto& [fd, c] : clients) {
    if (c.tcp != tcp || c.subscribed || c.awaiting != 0 || (tcp && c.trusted)) continue;
    if (oldest < 0 || c.heard < clients.at(oldest).heard) oldest = fd;
  }
  if (oldest < 0) return false;
  tell(oldest, "Too many control clients: this one, idle the longest, is closed.");
  drop(oldest);
  ++refused;
  return true;
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

void ControlServer::State::hello(Client& c, std::string_view line) {
  const nlohmann::json request = nlohmann::json::parse(line, nullptr, false);
  const bool said = request.is_object() && request.size() == 2 && request.contains("cmd") &&
                    request.at("cmd") == "hello" && request.contains("token") &&
                    request.at("token").is_string() &&
                    sameToken(request.at("token").get<std::string>(), token);
  if (said) {
    c.trusted = true;
    queue(c, R"({"ok":true})");
    return;
  }
  queue(c,
        errorLine(
            R"(The first request on TCP must be {"cmd":"hello","token":"..."} with the token in )" +
            tokenFile + "; the connection is closed."));
  c.closing = true;
  ++refused;
}

// Answers the complete lines in the client's input, in order, until one's
// reply is to come later.
void ControlServer::State::answerLines(int fd, Client& c) {
  std::size_t start = 0;
  while (!c.closing && c.awaiting == 0) {
    const std::size_t end = c.input.find('\n', std::max(start, c.scanned));
    if (end == std::string::npos) {
      c.scanned = c.input.size();
      break;
    }
    std::string_view line(c.input.data() + start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    if (!c.trusted) {
      hello(c, line);
      continue;
    }
    c.awaiting = ++requests;
    c.answering = true;
    bool subscribe = false;
    const std::weak_ptr<State> self = weak_from_this();
    answer(
        line,
        [self, fd, serial = c.serial, request = c.awaiting](std::string_view reply) {
          if (const auto state = self.lock()) state->replied(fd, serial, request, reply);
        },
        subscribe);
    c.answering = false;
    if (subscribe && !c.subscribed && !c.closing) {
      c.subscribed = true;
      ++subscribers;
    }
  }
  c.input.erase(0, start);
  c.scanned -= std::min(c.scanned, start);
  if (c.ended && c.awaiting == 0) c.closing = true;
}

void ControlServer::State::replied(int fd, std::uint64_t serial, std::uint64_t request,
                                   std::string_view line) {
  const auto it = clients.find(fd);
  if (it == clients.end() || it->second.serial != serial || it->second.awaiting != request) return;
  Client& c = it->second;
  c.awaiting = 0;
  queue(c, line);
  if (c.answering) return;
  // A reply that came later: the requests that waited for it go on.
  answerLines(fd, c);
  flush(fd, c);
  if (c.closing && c.output.empty()) drop(fd);
}

void ControlServer::State::read(int fd, Client& c) {
  char buffer[kReadSlice];
  std::size_t taken = 0;
  while (taken < kReadSlice && !c.closing && !c.ended && c.awaiting == 0) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;
    if (n <= 0) {
      // Gone, or said all it will say: a last request without its line end
      // is answered all the same, and what is queued still goes.
      c.ended = true;
      if (n == 0 && !c.input.empty()) c.input.push_back('\n');
      if (n < 0) c.input.clear();
      answerLines(fd, c);
      break;
    }
    taken += static_cast<std::size_t>(n);
    c.heard = Clock::now();
    c.input.append(buffer, static_cast<std::size_t>(n));
    answerLines(fd, c);
    if (c.input.size() > limits.lineBytes && c.awaiting == 0) {
      c.input.clear();
      queue(c, errorLine("The request is longer than " + std::to_string(limits.lineBytes) +
                         " bytes; the connection is closed."));
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
  // A client that said all it will say, or waits for a reply, is not read:
  // its end of input would wake every service() call.
  const bool reading = !c.closing && !c.ended && c.awaiting == 0;
  const std::uint32_t wanted =
      (reading ? std::uint32_t{EPOLLIN} : 0u) | (c.output.empty() ? 0u : std::uint32_t{EPOLLOUT});
  if (wanted != c.watched) {
    c.watched = wanted;
    watch(fd, wanted, EPOLL_CTL_MOD);
  }
}

// Closes the clients that have sent nothing for the idle limit, unless they
// are subscribed or wait for a reply.
void ControlServer::State::sweep() {
  std::uint64_t expirations = 0;
  [[maybe_unused]] const ssize_t n = ::read(timer, &expirations, sizeof expirations);
  const auto now = Clock::now();
  std::vector<int> idle;
  for (const auto& [fd, c] : clients) {
    if (!c.subscribed && c.awaiting == 0 && now - c.heard >= limits.idleLimit) idle.push_back(fd);
  }
  const auto seconds = std::chrono::duration<double>(limits.idleLimit).count();
  for (const int fd : idle) {
    char text[160];
    std::snprintf(text, sizeof text, "Nothing came for %g s; the connection is closed.", seconds);
    tell(fd, text);
    drop(fd);
  }
}

void ControlServer::State::drop(int fd) {
  const auto it = clients.find(fd);
  if (it == clients.end()) return;
  if (it->second.subscribed) --subscribers;
  if (it->second.tcp) --tcpClients;
  ::epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
  ::close(fd);
  clients.erase(it);
}

ControlServer::ControlServer(Answer answer, Limits limits) : state_(std::make_shared<State>()) {
  state_->answer = std::move(answer);
  state_->limits = limits;
  state_->epoll = ::epoll_create1(EPOLL_CLOEXEC);
  if (state_->epoll < 0) raiseIo("Cannot start the control channel.", errno);
  if (limits.idleLimit.count() > 0) {
    // A look at the clients a few times per idle limit, at most once a second.
    state_->timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    const auto period = std::clamp<std::chrono::nanoseconds>(
        limits.idleLimit / 4, std::chrono::milliseconds(10), std::chrono::seconds(1));
    itimerspec every{};
    every.it_interval.tv_sec = static_cast<time_t>(period.count() / 1'000'000'000);
    every.it_interval.tv_nsec = static_cast<long>(period.count() % 1'000'000'000);
    every.it_value = every.it_interval;
    if (state_->timer < 0 || ::timerfd_settime(state_->timer, 0, &every, nullptr) != 0) {
      const int error = errno;
      if (state_->timer >= 0) ::close(state_->timer);
      ::close(state_->epoll);
      raiseIo("Cannot start the control channel.", error);
    }
    state_->watch(state_->timer, EPOLLIN, EPOLL_CTL_ADD);
  }
}

ControlServer::~ControlServer() {
  for (const auto& [fd, client] : state_->clients) ::close(fd);
  for (const auto& [fd, tcp] : state_->listeners) ::close(fd);
  if (!state_->unixPath.empty()) removeControlSocket(state_->unixPath);
  if (!state_->tokenFile.empty()) removeControlToken(state_->tokenFile);
  if (state_->timer >= 0) ::close(state_->timer);
  ::close(state_->epoll);
}

void ControlServer::listenUnix(const std::string& path) {
  const int fd = listenControlSocket(path);
  state_->listeners.emplace_back(fd, false);
  state_->watch(fd, EPOLLIN, EPOLL_CTL_ADD);
  state_->unixPath = path;
}

void ControlServer::listenTcp(const std::string& host, int port, bool anyAddress) {
  const int fd = listenControlTcp(host, port, anyAddress);
  const int listened = listeningPort(fd);
  const std::string file = defaultControlTokenPath(listened);
  try {
    state_->token = writeControlToken(file);
  } catch (...) {
    ::close(fd);
    throw;
  }
  state_->tokenFile = file;
  state_->listeners.emplace_back(fd, true);
  state_->watch(fd, EPOLLIN, EPOLL_CTL_ADD);
  state_->tcpPort = listened;
}

int ControlServer::tcpPort() const {
  return state_->tcpPort;
}

const std::string& ControlServer::tokenFile() const {
  return state_->tokenFile;
}

int ControlServer::fd() const {
  return state_->epoll;
}

void ControlServer::watch(int fd, std::function<void()> ready) {
  state_->watched[fd] = std::move(ready);
  state_->watch(fd, EPOLLIN, EPOLL_CTL_ADD);
}

void ControlServer::service() {
  // Held for the call: an answer may end the server's owner.
  const std::shared_ptr<State> keep = state_;
  State& s = *keep;
  std::array<epoll_event, kEventSlice> events{};
  const int n = ::epoll_wait(s.epoll, events.data(), kEventSlice, 0);
  for (int i = 0; i < n; ++i) {
    const int fd = events[static_cast<std::size_t>(i)].data.fd;
    const std::uint32_t what = events[static_cast<std::size_t>(i)].events;
    if (fd == s.timer) {
      s.sweep();
      continue;
    }
    if (const auto w = s.watched.find(fd); w != s.watched.end()) {
      const auto ready = w->second;
      ready();
      continue;
    }
    const auto listener = std::find_if(s.listeners.begin(), s.listeners.end(),
                                       [fd](const auto& l) { return l.first == fd; });
    if (listener != s.listeners.end()) {
      s.accept(fd, listener->second);
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
