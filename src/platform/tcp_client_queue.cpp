#include "platform/tcp_client_queue.h"

#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace waymock {

namespace {

// Bursts handed to the system in one call; a full queue of the usual bursts
// (64 KiB of 700 bytes) fits.
constexpr std::size_t kMaxSlices = 128;

}  // namespace

TcpClientQueue::~TcpClientQueue() {
  disconnect();
}

TcpClientQueue::TcpClientQueue(TcpClientQueue&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      queue_(std::move(other.queue_)),
      offset_(other.offset_),
      bytes_(other.bytes_),
      reading_(other.reading_),
      lastProgress_(other.lastProgress_) {}

TcpClientQueue& TcpClientQueue::operator=(TcpClientQueue&& other) noexcept {
  if (this != &other) {
    disconnect();
    fd_ = std::exchange(other.fd_, -1);
    queue_ = std::move(other.queue_);
    offset_ = other.offset_;
    bytes_ = other.bytes_;
    reading_ = other.reading_;
    lastProgress_ = other.lastProgress_;
  }
  return *this;
}

void TcpClientQueue::disconnect() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void TcpClientQueue::enqueue(const SharedBurst& burst, std::size_t limit) {
  if (bytes_ == 0) lastProgress_ = Clock::now();
  const std::size_t keep = offset_ > 0 ? 1 : 0;
  while (queue_.size() > keep && bytes_ + burst->size() > limit) {
    bytes_ -= queue_[keep]->size();
    queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(keep));
  }
  if (bytes_ + burst->size() > limit && !queue_.empty()) return;
  queue_.push_back(burst);
  bytes_ += burst->size();
}

bool TcpClientQueue::flush() {
  // With thousands of clients a call per burst is what the serving thread
  // would spend its time on.
  iovec slices[kMaxSlices];
  while (!queue_.empty()) {
    const std::size_t count = std::min(queue_.size(), kMaxSlices);
    for (std::size_t i = 0; i < count; ++i) {
      const std::string& burst = *queue_[i];
      const std::size_t skip = i == 0 ? offset_ : 0;
      slices[i] = {const_cast<char*>(burst.data() + skip), burst.size() - skip};
    }
    msghdr message{};
    message.msg_iov = slices;
    message.msg_iovlen = count;
    ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    lastProgress_ = Clock::now();
    bytes_ -= static_cast<std::size_t>(n);
    while (n > 0) {
      const std::size_t left = queue_.front()->size() - offset_;
      if (static_cast<std::size_t>(n) < left) {
        offset_ += static_cast<std::size_t>(n);
        break;
      }
      n -= static_cast<ssize_t>(left);
      queue_.pop_front();
      offset_ = 0;
    }
    if (offset_ > 0) return true;  // the socket is full
  }
  return true;
}

TcpClientQueue::Input TcpClientQueue::discardInput() {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) continue;
    if (n == 0) {
      reading_ = false;
      return Input::ended;
    }
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? Input::open : Input::gone;
  }
}

}  // namespace waymock
