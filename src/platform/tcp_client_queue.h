#pragma once

// One client of the TCP server, as its serving thread keeps it: the bursts
// queued for it and how far the first one is written. Internal to the server.

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <string>

namespace waymock {

using SharedBurst = std::shared_ptr<const std::string>;

class TcpClientQueue {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Input { open, ended, gone };

  // Takes over the connected, non-blocking socket `fd`.
  explicit TcpClientQueue(int fd) : fd_(fd) {}
  ~TcpClientQueue();
  TcpClientQueue(TcpClientQueue&& other) noexcept;
  TcpClientQueue& operator=(TcpClientQueue&& other) noexcept;
  TcpClientQueue(const TcpClientQueue&) = delete;
  TcpClientQueue& operator=(const TcpClientQueue&) = delete;

  int fd() const { return fd_; }
  bool connected() const { return fd_ >= 0; }
  void disconnect();
  // Bytes queued and not yet written.
  std::size_t bytes() const { return bytes_; }
  // False once the client has said all it will say (a half-close): it still
  // receives, and its socket is no longer watched for input.
  bool reading() const { return reading_; }
  // Since when nothing could be written although bytes were queued.
  Clock::time_point lastProgress() const { return lastProgress_; }

  // Adds the burst, dropping the oldest whole bursts not yet begun while the
  // queue would exceed `limit`. When even that is not enough room, the new
  // burst is the one dropped.
  void enqueue(const SharedBurst& burst, std::size_t limit);
  // Writes what the socket takes, all queued bursts in one call; false once
  // the client has gone.
  bool flush();
  // Reads and drops whatever the client sent.
  Input discardInput();

 private:
  int fd_ = -1;
  std::deque<SharedBurst> queue_;
  std::size_t offset_ = 0;  // bytes of queue_.front() already written
  std::size_t bytes_ = 0;
  bool reading_ = true;
  Clock::time_point lastProgress_{};
};

}  // namespace waymock
