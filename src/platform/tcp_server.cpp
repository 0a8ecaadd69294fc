#include "platform/tcp_server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/listen_address.h"
#include "platform/tcp_client_queue.h"
#include "support/error.h"

namespace waymock {

namespace {

using SteadyClock = std::chrono::steady_clock;

// How often the thread looks for stalled clients while any has a queue, and
// how long it leaves the listening socket alone when out of descriptors.
constexpr std::chrono::milliseconds kCheckInterval{50};

void closeQuietly(int fd) {
  if (fd >= 0) ::close(fd);
}

}  // namespace

struct TcpServer::State {
  Limits limits;
  std::string host;
  int port = 0;
  int listener = -1;
  int wakeRead = -1;
  int wakeWrite = -1;
  std::thread thread;

  mutable std::mutex mutex;
  std::vector<SharedBurst> mailbox;  // bursts handed over, not yet queued
  std::size_t mailboxBytes = 0;
  bool stopping = false;
  std::size_t clientCount = 0;
  std::size_t queuedBytes = 0;
  std::size_t stalled = 0;
  std::size_t refused = 0;
  Refusal firstRefusal = Refusal::none;

  ~State() {
    closeQuietly(listener);
    closeQuietly(wakeRead);
    closeQuietly(wakeWrite);
  }

  void wake() const {
    const char byte = 0;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
  }

  void serve();
  // The serving thread; `where` names the socket in the error.
  void start(const std::string& where);
  // Accepts every waiting client; those beyond the cap are closed at once.
  // Returns false when the process is out of descriptors.
  bool acceptClients(std::vector<TcpClientQueue>& clients, std::size_t& refusedNow,
                     Refusal& why) const;
};

bool TcpServer::State::acceptClients(std::vector<TcpClientQueue>& clients, std::size_t& refusedNow,
                                     Refusal& why) const {
  const std::size_t limit = descriptorLimit();
  const std::size_t room = limit > kDescriptorReserve ? limit - kDescriptorReserve : 0;
  for (;;) {
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return !(errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM);
    }
    // The system hands out the lowest free descriptor, so one this high means
    // that few are left, whoever holds the others.
    const bool full = clients.size() >= limits.maxClients;
    if (full || clients.size() >= room || static_cast<std::size_t>(fd) >= room) {
      ::close(fd);
      if (refusedNow++ == 0) why = full ? Refusal::maxClients : Refusal::descriptors;
      continue;
    }
    // Each burst goes out at once instead of waiting for the previous
    // one's acknowledgement (a Unix socket has no such delay and says so).
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // The system's own buffer for a client that does not read stays about
    // as small as ours, so a stall shows soon and costs little memory.
    const int buffer = static_cast<int>(std::min<std::size_t>(limits.queueBytes, 1 << 20));
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    clients.emplace_back(fd);
  }
}

void TcpServer::State::serve() {
  std::vector<TcpClientQueue> clients;
  std::vector<pollfd> fds;
  std::vector<SharedBurst> arrived;
  SteadyClock::time_point listenPausedUntil{};
  for (;;) {
    const auto now = SteadyClock::now();
    const bool listening = now >= listenPausedUntil;
    bool anyQueued = false;
    fds.clear();
    fds.push_back({wakeRead, POLLIN, 0});
    fds.push_back({listening ? listener : -1, POLLIN, 0});
    for (const TcpClientQueue& c : clients) {
      anyQueued = anyQueued || c.bytes() > 0;
      const short events =
          static_cast<short>((c.reading() ? POLLIN : 0) | (c.bytes() > 0 ? POLLOUT : 0));
      fds.push_back({c.fd(), events, 0});
    }
    const int timeout = anyQueued || !listening ? static_cast<int>(kCheckInterval.count()) : -1;
    if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
      std::this_thread::sleep_for(kCheckInterval);
    }

    if (fds[0].revents != 0) {
      char drain[256];
      while (::read(wakeRead, drain, sizeof drain) > 0) {
      }
    }
    {
      std::lock_guard lock(mutex);
      if (stopping) break;
      arrived.swap(mailbox);
      mailboxBytes = 0;
    }

    // Input is dropped; a client whose connection failed or was reset goes.
    for (std::size_t i = 0; i < clients.size(); ++i) {
      const short revents = fds[i + 2].revents;
      TcpClientQueue& c = clients[i];
      if ((revents & POLLIN) != 0 && c.reading() &&
          c.discardInput() == TcpClientQueue::Input::gone) {
        c.disconnect();
      } else if ((revents & (POLLERR | POLLHUP)) != 0) {
        c.disconnect();
      }
    }
    std::size_t refusedNow = 0;
    Refusal why = Refusal::none;
    if (listening && fds[1].revents != 0 && !acceptClients(clients, refusedNow, why)) {
      listenPausedUntil = SteadyClock::now() + kCheckInterval;
    }

    const auto checked = SteadyClock::now();
    std::size_t queued = 0;
    std::size_t stalledNow = 0;
    for (TcpClientQueue& c : clients) {
      if (!c.connected()) continue;
      for (const SharedBurst& b : arrived) c.enqueue(b, limits.queueBytes);
      if (!c.flush()) {
        c.disconnect();
      } else if (c.bytes() > 0 && checked - c.lastProgress() > limits.stallLimit) {
        c.disconnect();
        ++stalledNow;
      } else {
        queued += c.bytes();
      }
    }
    arrived.clear();
    std::erase_if(clients, [](const TcpClientQueue& c) { return !c.connected(); });

    std::lock_guard lock(mutex);
    clientCount = clients.size();
    queuedBytes = queued;
    stalled += stalledNow;
    if (refused == 0) firstRefusal = why;
    refused += refusedNow;
  }
}

TcpServer::TcpServer(const std::string& host, int port, Limits limits)
    : state_(std::make_shared<State>()) {
  State& s = *state_;
  s.limits = limits;
  s.host = host;
  SocketAddress address = listenAddress(host, port);
  const std::string where = hostPortText(host, port);
  const auto fail = [&where](int error) { raiseIo("Cannot listen on " + where + ".", error); };

  s.listener = ::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (s.listener < 0) fail(errno);
  // A restarted simulator can listen again at once, while the previous run's
  // connections are still winding down.
  const int one = 1;
  ::setsockopt(s.listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(s.listener, address.get(), address.length()) < 0 ||
      ::listen(s.listener, SOMAXCONN) < 0) {
    fail(errno);
  }
  ::getsockname(s.listener, address.get(), address.lengthForUpdate());
  s.port = address.port();
  s.start(where);
}

TcpServer::TcpServer(int listener, std::string name, Limits limits)
    : state_(std::make_shared<State>()) {
  state_->limits = limits;
  state_->host = std::move(name);
  state_->listener = listener;
  state_->start(state_->host);
}

void TcpServer::State::start(const std::string& where) {
  int pipe[2];
  if (::pipe2(pipe, O_NONBLOCK | O_CLOEXEC) < 0) raiseIo("Cannot listen on " + where + ".", errno);
  wakeRead = pipe[0];
  wakeWrite = pipe[1];
  thread = std::thread([this] { serve(); });
}

TcpServer::~TcpServer() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  state_->wake();
  state_->thread.join();
}

const std::string& TcpServer::host() const {
  return state_->host;
}

int TcpServer::port() const {
  return state_->port;
}

void TcpServer::send(std::string_view burst) {
  send(std::make_shared<const std::string>(burst));
}

void TcpServer::send(std::shared_ptr<const std::string> burst) {
  {
    std::lock_guard lock(state_->mutex);
    // A thread that has fallen behind keeps only the newest bursts, like each
    // client's queue.
    state_->mailboxBytes += burst->size();
    state_->mailbox.push_back(std::move(burst));
    while (state_->mailbox.size() > 1 && state_->mailboxBytes > state_->limits.queueBytes) {
      state_->mailboxBytes -= state_->mailbox.front()->size();
      state_->mailbox.erase(state_->mailbox.begin());
    }
  }
  state_->wake();
}

std::size_t TcpServer::clientCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->clientCount;
}

std::size_t TcpServer::queuedBytes() const {
  std::lock_guard lock(state_->mutex);
  return state_->queuedBytes;
}

std::size_t TcpServer::stalledDisconnects() const {
  std::lock_guard lock(state_->mutex);
  return state_->stalled;
}

std::size_t TcpServer::refusedClients() const {
  std::lock_guard lock(state_->mutex);
  return state_->refused;
}

TcpServer::Refusal TcpServer::firstRefusal() const {
  std::lock_guard lock(state_->mutex);
  return state_->firstRefusal;
}

std::size_t TcpServer::clientCap() const {
  const std::size_t limit = descriptorLimit();
  return std::min(state_->limits.maxClients,
                  limit > kDescriptorReserve ? limit - kDescriptorReserve : 0);
}

std::size_t TcpServer::descriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1 << 20;
  return static_cast<std::size_t>(limit.rlim_cur);
}

}  // namespace waymock
