#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace waymock {

// Work that would hold up the tick, such as reading a route or a scenario,
// done on a thread of its own at a lower priority. Each job returns the step
// that uses its result on the owner's thread: fd() becomes readable when
// steps wait, and collect() takes them, in the order the jobs were posted.
// So the tick goes on while a file loads, and the switch to what was loaded
// happens between ticks.
class BackgroundWork {
 public:
  using Step = std::function<void()>;
  // Runs on the worker; it must not throw (it reports a failure through the
  // step it returns).
  using Job = std::function<Step()>;

  BackgroundWork();
  // Waits for a job that runs; steps not collected are dropped.
  ~BackgroundWork();
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

  void post(Job job);
  // Readable while steps wait for collect().
  int fd() const { return ready_; }
  // Takes the steps of the jobs that ended, on the calling thread.
  void collect();

 private:
  void work();

  int ready_ = -1;  // an eventfd
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Job> jobs_;
  std::deque<Step> steps_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace waymock
