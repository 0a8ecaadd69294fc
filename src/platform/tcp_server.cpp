#include "platform/tcp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "support/error.h"

namespace waymock {

namespace {

using Burst = std::shared_ptr<const std::string>;
using SteadyClock = std::chrono::steady_clock;

// How often the thread looks for stalled clients while any has a queue, and
// how long it leaves the listening socket alone when out of descriptors.
constexpr std::chrono::milliseconds kCheckInterval{50};

void closeQuietly(int fd) {
  if (fd >= 0) ::close(fd);
}

// Reads and drops whatever is waiting; false once the client has gone.
bool discardInput(int fd) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) continue;
    if (n == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

struct Client {
  int fd = -1;
  std::deque<Burst> queue;
  std::size_t offset = 0;  // bytes of queue.front() already written
  std::size_t bytes = 0;   // queued bytes not yet written
  SteadyClock::time_point lastProgress{};

  // Adds the burst, dropping the oldest whole bursts not yet begun while the
  // queue would exceed `limit`. When even that is not enough room, the new
  // burst is the one dropped.
  void enqueue(const Burst& burst, std::size_t limit) {
    if (bytes == 0) lastProgress = SteadyClock::now();
    const std::size_t keep = offset > 0 ? 1 : 0;
    while (queue.size() > keep && bytes + burst->size() > limit) {
      bytes -= queue[keep]->size();
      queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(keep));
    }
    if (bytes + burst->size() > limit && !queue.empty()) return;
    queue.push_back(burst);
    bytes += burst->size();
  }

  // Writes what the socket takes; false once the client has gone.
  bool flush() {
    while (!queue.empty()) {
      const std::string& front = *queue.front();
      const ssize_t n =
          ::send(fd, front.data() + offset, front.size() - offset, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
      }
      lastProgress = SteadyClock::now();
      offset += static_cast<std::size_t>(n);
      bytes -= static_cast<std::size_t>(n);
      if (offset == front.size()) {
        queue.pop_front();
        offset = 0;
      }
    }
    return true;
  }
};

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
  std::vector<Burst> mailbox;  // bursts handed over, not yet queued
  std::size_t mailboxBytes = 0;
  bool stopping = false;
  std::size_t clientCount = 0;
  std::size_t queuedBytes = 0;
  std::size_t stalled = 0;

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
};

void TcpServer::State::serve() {
  std::vector<Client> clients;
  std::vector<pollfd> fds;
  std::vector<Burst> arrived;
  SteadyClock::time_point listenPausedUntil{};
  for (;;) {
    const auto now = SteadyClock::now();
    const bool listening = now >= listenPausedUntil;
    bool anyQueued = false;
    fds.clear();
    fds.push_back({wakeRead, POLLIN, 0});
    fds.push_back({listening ? listener : -1, POLLIN, 0});
    for (const Client& c : clients) {
      anyQueued = anyQueued || c.bytes > 0;
      fds.push_back({c.fd, static_cast<short>(POLLIN | (c.bytes > 0 ? POLLOUT : 0)), 0});
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

    // Clients whose input or hang-up is waiting; those that went are closed.
    for (std::size_t i = 0; i < clients.size(); ++i) {
      if ((fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
          !discardInput(clients[i].fd)) {
        closeQuietly(clients[i].fd);
        clients[i].fd = -1;
      }
    }
    if (listening && fds[1].revents != 0) {
      for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
          if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            listenPausedUntil = SteadyClock::now() + kCheckInterval;
          }
          if (errno == EINTR || errno == ECONNABORTED) continue;
          break;
        }
        // Each burst goes out at once instead of waiting for the previous
        // one's acknowledgement.
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // The system's own buffer for a client that does not read stays about
        // as small as ours, so a stall shows soon and costs little memory.
        const int buffer = static_cast<int>(std::min<std::size_t>(limits.queueBytes, 1 << 20));
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
        clients.push_back(Client{fd, {}, 0, 0, {}});
      }
    }

    const auto checked = SteadyClock::now();
    std::size_t queued = 0;
    std::size_t stalledNow = 0;
    for (Client& c : clients) {
      if (c.fd < 0) continue;
      for (const Burst& b : arrived) c.enqueue(b, limits.queueBytes);
      if (!c.flush()) {
        closeQuietly(c.fd);
        c.fd = -1;
      } else if (c.bytes > 0 && checked - c.lastProgress > limits.stallLimit) {
        closeQuietly(c.fd);
        c.fd = -1;
        ++stalledNow;
      } else {
        queued += c.bytes;
      }
    }
    arrived.clear();
    std::erase_if(clients, [](const Client& c) { return c.fd < 0; });

    std::lock_guard lock(mutex);
    clientCount = clients.size();
    queuedBytes = queued;
    stalled += stalledNow;
  }
  for (const Client& c : clients) closeQuietly(c.fd);
}

TcpServer::TcpServer(const std::string& host, int port, Limits limits)
    : state_(std::make_shared<State>()) {
  State& s = *state_;
  s.limits = limits;
  s.host = host;
  const std::string where = host + ":" + std::to_string(port);
  const auto fail = [&where](int error) { raiseIo("Cannot listen on " + where + ".", error); };

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    raiseIo("Cannot listen on " + where + ": " + gai_strerror(rc) + ".");
  }
  sockaddr_in address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  freeaddrinfo(found);
  if (port < 0 || port > 65535) raiseIo("Cannot listen on " + where + ": no such port.");
  address.sin_port = htons(static_cast<std::uint16_t>(port));

  s.listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (s.listener < 0) fail(errno);
  // A restarted simulator can listen again at once, while the previous run's
  // connections are still winding down.
  const int one = 1;
  ::setsockopt(s.listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(s.listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0 ||
      ::listen(s.listener, SOMAXCONN) < 0) {
    fail(errno);
  }
  socklen_t length = sizeof address;
  ::getsockname(s.listener, reinterpret_cast<sockaddr*>(&address), &length);
  s.port = ntohs(address.sin_port);

  int pipe[2];
  if (::pipe2(pipe, O_NONBLOCK | O_CLOEXEC) < 0) fail(errno);
  s.wakeRead = pipe[0];
  s.wakeWrite = pipe[1];
  s.thread = std::thread([&s] { s.serve(); });
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

}  // namespace waymock
