#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace waymock {

namespace generator {
class TTarnNMEAGenerator;
}

// Writes bursts to the generator's port on a thread of its own, one at a
// time, so that a device that takes nothing (a write may wait 100 ms plus 3 ms
// per byte) holds up nothing but its own bursts. The thread uses only the
// generator's port (writeBurst); the caller leaves the port alone (OpenPort,
// ClosePort, portLost) while a write runs or its result waits.
class SerialWriter {
 public:
  struct Result {
    std::shared_ptr<const std::string> burst;
    int bytes = 0;  // what the port took
  };

  explicit SerialWriter(generator::TTarnNMEAGenerator& generator);
  // Waits for the write in progress.
  ~SerialWriter();
  SerialWriter(const SerialWriter&) = delete;
  SerialWriter& operator=(const SerialWriter&) = delete;

  // Starts writing `burst`; false, and the burst is not written, while an
  // earlier write runs or its result has not been taken.
  bool start(std::shared_ptr<const std::string> burst);
  // The result of the write that ended, once; nothing while it runs or when
  // none was started.
  std::optional<Result> take();
  // Readable while an ended write's result waits, for poll().
  int endedFd() const { return pipe_[0]; }
  // Returns once no write runs.
  void wait();

 private:
  void run();

  generator::TTarnNMEAGenerator& generator_;
  int pipe_[2] = {-1, -1};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::shared_ptr<const std::string> job_;  // the burst being written
  std::optional<Result> result_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace waymock
