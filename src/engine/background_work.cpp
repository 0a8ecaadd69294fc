#include "engine/background_work.h"

#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "support/error.h"

namespace waymock {

namespace {

// Below the tick's thread, so that on a busy machine a load waits for the
// tick rather than the other way round.
constexpr int kNiceness = 10;

}  // namespace

BackgroundWork::BackgroundWork() : ready_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (ready_ < 0) raiseIo("Cannot start a worker thread.", errno);
}

BackgroundWork::~BackgroundWork() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  posted_.notify_all();
  if (thread_.joinable()) thread_.join();
  ::close(ready_);
}

void BackgroundWork::post(Job job) {
  {
    const std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  if (!thread_.joinable()) thread_ = std::thread([this] { work(); });
  posted_.notify_one();
}

void BackgroundWork::work() {
  // Linux gives each thread a niceness of its own.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kNiceness);
  std::unique_lock lock(mutex_);
  for (;;) {
    posted_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    Step step = job();
    job = nullptr;
    lock.lock();
    if (stopping_) return;
    steps_.push_back(std::move(step));
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(ready_, &one, sizeof one);
  }
}

void BackgroundWork::collect() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = ::read(ready_, &count, sizeof count);
  std::deque<Step> steps;
  {
    const std::lock_guard lock(mutex_);
    steps.swap(steps_);
  }
  for (Step& step : steps) {
    if (step) step();
  }
}

}  // namespace waymock
