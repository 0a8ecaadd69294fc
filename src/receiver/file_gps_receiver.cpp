#include "receiver/file_gps_receiver.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <thread>

#include "support/error.h"
#include "support/regular_file.h"

namespace waymock::receiver {

namespace {

class SystemReplayClock final : public ReplayClock {
 public:
  time_point now() override { return std::chrono::steady_clock::now(); }
  void sleepFor(std::chrono::nanoseconds duration) override {
    std::this_thread::sleep_for(duration);
  }
};

[[noreturn]] void cannotRead(const std::string& path, int error) {
  raiseIo("Cannot read " + path + ": " + std::strerror(error) + ".");
}

void appendLine(std::string& burst, std::string_view line) {
  burst.append(line);
  burst.append("\r\n");
}

}  // namespace

std::shared_ptr<ReplayClock> systemReplayClock() {
  static const auto clock = std::make_shared<SystemReplayClock>();
  return clock;
}

// Reads a text file line by line through one fixed buffer, so memory does not
// grow with the file. A line comes back without its LF and a CR before it;
// beyond kMaxLine bytes the rest of a line is skipped. Each call reads at most
// one buffer's worth, so a line without an end never holds up the caller.
class TTarnFileGPSReceiver::LineReader {
 public:
  enum class Result {
    Line,  // a whole line
    More,  // part of a line that goes on; call again
    End,   // the end of the file
  };

  // Takes over `fd`, a regular file open for reading.
  LineReader(const std::string& path, int fd) : path_(path), fd_(fd) {}
  ~LineReader() { ::close(fd_); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // On Line, `line` is valid until the next call.
  Result next(std::string_view& line) {
    if (begin_ == end_ && !fill()) {
      if (!spanning_) return Result::End;
      spanning_ = false;
      line = cut_ ? std::string_view(long_) : withoutCr(long_);
      return Result::Line;
    }
    const char* start = buffer_ + begin_;
    const std::size_t available = end_ - begin_;
    const auto* lf = static_cast<const char*>(std::memchr(start, '\n', available));
    const std::size_t length = lf != nullptr ? static_cast<std::size_t>(lf - start) : available;
    begin_ += lf != nullptr ? length + 1 : length;
    if (lf != nullptr && !spanning_) {
      line = withoutCr(std::string_view(start, length));
      return Result::Line;
    }
    if (!spanning_) {  // a line that crosses a refill of the buffer begins
      long_.clear();
      cut_ = false;
      spanning_ = true;
    }
    const std::size_t room = kMaxLine - long_.size();
    if (length > room) cut_ = true;
    long_.append(start, std::min(length, room));
    if (lf == nullptr) return Result::More;
    spanning_ = false;
    line = cut_ ? std::string_view(long_) : withoutCr(long_);
    return Result::Line;
  }

  // Bytes read from the file so far.
  std::size_t bytesRead() const { return bytesRead_; }

  // Reads the file again from its start.
  void rewind() {
    if (::lseek(fd_, 0, SEEK_SET) < 0) cannotRead(path_, errno);
    begin_ = end_ = 0;
    spanning_ = cut_ = false;
  }

 private:
  // The buffer is far below kMaxLine, so a line that fits in it needs no cut.
  static constexpr std::size_t kBufferSize = 64 * 1024;
  static_assert(kBufferSize < kMaxLine);
  static_assert(kBufferSize <= kBytesPerStep);

  static std::string_view withoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }

  bool fill() {
    ssize_t n = 0;
    do {
      n = ::read(fd_, buffer_, kBufferSize);
    } while (n < 0 && errno == EINTR);
    if (n < 0) cannotRead(path_, errno);
    begin_ = 0;
    end_ = static_cast<std::size_t>(n);
    bytesRead_ += end_;
    return n > 0;
  }

  std::string path_;
  int fd_ = -1;
  char buffer_[kBufferSize];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::size_t bytesRead_ = 0;
  std::string long_;       // a line that crosses a refill of the buffer
  bool spanning_ = false;  // long_ holds the start of the current line
  bool cut_ = false;       // ... and the line was longer than kMaxLine
};

TTarnFileGPSReceiver::TTarnFileGPSReceiver(std::shared_ptr<const Clock> clock,
                                           std::shared_ptr<ReplayClock> replayClock)
    : TTarnCustomGPSReceiver(std::move(clock)), replayClock_(std::move(replayClock)) {}

TTarnFileGPSReceiver::~TTarnFileGPSReceiver() = default;

void TTarnFileGPSReceiver::SetFileName(const std::string& value) {
  if (value == fileName_ || !isRegularFile(value)) return;
  // The old replay ends before the name changes, so each OnDisconnect names
  // the file whose replay ended, and two replays never nest.
  if (!active_) {
    // Closed (or never started): the name is only taken. A closed replay
    // that has not yet stepped to its end ends here.
    if (replaying()) finish();
    fileName_ = value;
    return;
  }
  finish();
  fileName_ = value;
  if (!replaying()) start();
}

void TTarnFileGPSReceiver::Close() {
  active_ = false;
  paused_ = false;
  // A Close during the wait cuts it short, even one that an earlier Close from
  // OnReceive let run.
  waitAfterClose_ = false;
}

bool TTarnFileGPSReceiver::start() {
  if (replaying()) {
    if (active_) return false;
    // Closed but not yet stepped to its end: that replay ends first.
    finish();
    if (replaying()) return false;
  }
  RegularFile file(fileName_);
  if (file.status() == RegularFile::Status::failed) cannotRead(fileName_, file.error());
  if (file.status() != RegularFile::Status::open) return false;
  reader_ = std::make_unique<LineReader>(fileName_, file.release());
  ++generation_;
  burst_.clear();
  delivered_ = 0;
  loopPasses_ = 0;
  passDelivered_ = 0;
  wrapped_ = false;
  due_ = {};
  waitAfterClose_ = false;
  active_ = true;
  paused_ = false;
  try {
    if (OnConnect) OnConnect(*this, fileName_);
  } catch (...) {
    abandon();
    throw;
  }
  return true;
}

void TTarnFileGPSReceiver::Open() {
  if (!start()) return;
  // Called from a handler while a replay is driven: that driver goes on with
  // the new replay, so none runs nested in another.
  if (stepping_ || looping_) return;
  looping_ = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{looping_};
  try {
    for (;;) {
      const ReplayStatus status = step();
      switch (status.state) {
        case ReplayStatus::State::Idle:
          return;
        case ReplayStatus::State::Finished:
          // A handler of OnDisconnect may have started the next replay.
          if (!replaying()) return;
          break;
        case ReplayStatus::State::Paused:
          if (processEvents) processEvents();
          if (active_ && paused_) replayClock_->sleepFor(kPollInterval);
          break;
        case ReplayStatus::State::Waiting:
          if (status.due != ReplayClock::time_point{}) {
            const auto now = replayClock_->now();
            if (status.due > now) {
              replayClock_->sleepFor(
                  std::min<std::chrono::nanoseconds>(status.due - now, kPollInterval));
            }
          }
          if (processEvents) processEvents();
          break;
      }
    }
  } catch (...) {
    abandon();
    throw;
  }
}

ReplayStatus TTarnFileGPSReceiver::step() {
  using State = ReplayStatus::State;
  if (!replaying()) return {State::Idle, {}};
  if (stepping_) return {State::Waiting, {}};
  stepping_ = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{stepping_};

  try {
    const std::size_t startBytes = reader_->bytesRead();
    for (std::size_t lines = 0;;) {
      if (!replaying()) return {State::Idle, {}};
      if (!active_) {
        if (waitAfterClose_ && replayClock_->now() < due_) return {State::Waiting, due_};
        finish();
        return {State::Finished, {}};
      }
      if (paused_) return {State::Paused, {}};
      if (due_ != ReplayClock::time_point{}) {
        if (replayClock_->now() < due_) return {State::Waiting, due_};
        due_ = {};
      }
      if (lines == kLinesPerStep || reader_->bytesRead() - startBytes >= kBytesPerStep)
        return {State::Waiting, {}};

      std::string_view line;
      const LineReader::Result read = reader_->next(line);
      if (read == LineReader::Result::End) {
        if (!loop_) {
          finish();
          return {State::Finished, {}};
        }
        // Each pass opens the log again, so a rewritten log is read as it is
        // now. A pass without a delivery (a log being rewritten, for a moment
        // empty or gone) is tried again after a wait, never in a busy loop.
        const bool delivered = passDelivered_ > 0;
        ++loopPasses_;
        if (!restartFile() || !delivered) {
          due_ = replayClock_->now() + std::max<std::chrono::nanoseconds>(
                                           std::chrono::milliseconds(delay_), kEmptyPassWait);
        }
        passDelivered_ = 0;
        wrapped_ = true;
        return {State::Waiting, due_};
      }
      if (read == LineReader::Result::Line) {
        ++lines;
        if (line.find("$GPRMC") != std::string_view::npos ||
            (modern() && line.find("$GNRMC") != std::string_view::npos)) {
          deliver(line);
          return {State::Waiting, due_};
        }
        if (burst_.size() + line.size() + 2 <= kMaxBurst) appendLine(burst_, line);
      }
      // The handlers may switch files or end the replay; the loop looks again.
      if (processEvents) processEvents();
    }
  } catch (...) {
    abandon();
    throw;
  }
}

bool TTarnFileGPSReceiver::restartFile() {
  RegularFile file(fileName_);
  switch (file.status()) {
    case RegularFile::Status::open:
      reader_ = std::make_unique<LineReader>(fileName_, file.release());
      return true;
    case RegularFile::Status::missing:
    case RegularFile::Status::notRegular:
      return false;
    case RegularFile::Status::failed:
      break;
  }
  // TCP clients or other files may have taken the last descriptor: the log
  // held open still serves, as it was when it was opened.
  if (file.error() != EMFILE && file.error() != ENFILE) cannotRead(fileName_, file.error());
  reader_->rewind();
  return true;
}

void TTarnFileGPSReceiver::deliver(std::string_view line) {
  ++delivered_;
  ++passDelivered_;
  std::swap(burst_, delivering_);
  burst_.clear();
  const unsigned generation = generation_;
  ReceiveData(delivering_);
  // A handler that switched files has started a fresh replay: this line
  // belongs to the old one, and so does the wait.
  if (generation != generation_ || !replaying()) return;
  std::optional<std::chrono::nanoseconds> wait;
  if (waitRule && !wrapped_) wait = waitRule(delivering_, line);
  if (!wait) wait = std::chrono::milliseconds(std::max(delay_, 0));
  wrapped_ = false;
  due_ = *wait > std::chrono::nanoseconds::zero() ? replayClock_->now() + *wait
                                                  : ReplayClock::time_point{};
  waitAfterClose_ = !active_ && *wait > std::chrono::nanoseconds::zero();
  appendLine(burst_, line);
}

void TTarnFileGPSReceiver::finish() {
  abandon();
  active_ = false;
  paused_ = false;
  if (OnDisconnect) OnDisconnect(*this, fileName_);
}

void TTarnFileGPSReceiver::abandon() noexcept {
  reader_.reset();
  burst_.clear();
  due_ = {};
  waitAfterClose_ = false;
}

}  // namespace waymock::receiver
