#include "engine/serial_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include "generator/nmea_generator.h"
#include "support/error.h"

namespace waymock {

SerialWriter::SerialWriter(generator::TTarnNMEAGenerator& generator) : generator_(generator) {
  if (::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) raiseIo("Cannot create a pipe.", errno);
  thread_ = std::thread([this] { run(); });
}

SerialWriter::~SerialWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

bool SerialWriter::start(std::shared_ptr<const std::string> burst) {
  {
    std::lock_guard lock(mutex_);
    if (job_ || result_) return false;
    job_ = std::move(burst);
  }
  changed_.notify_all();
  return true;
}

std::optional<SerialWriter::Result> SerialWriter::take() {
  std::lock_guard lock(mutex_);
  std::optional<Result> result = std::move(result_);
  result_.reset();
  if (result) {
    char drain[16];
    while (::read(pipe_[0], drain, sizeof drain) > 0) {
    }
  }
  return result;
}

void SerialWriter::wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !job_; });
}

void SerialWriter::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || job_; });
    if (!job_) return;
    const std::shared_ptr<const std::string> burst = job_;
    lock.unlock();
    const int bytes = generator_.writeBurst(*burst);
    lock.lock();
    result_ = Result{burst, bytes};
    job_.reset();
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(pipe_[1], &byte, 1);
    changed_.notify_all();
  }
}

}  // namespace waymock
