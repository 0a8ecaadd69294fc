#include "receiver/file_gps_receiver.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <thread>

#include "receiver/log_lines.h"
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
  raiseIo("Cannot read " + path + ": " + systemErrorText(error) + ".");
}

void appendLine(std::string& burst, std::string_view line) {
  burst.append(line);
  burst.append("\r\n");
}

}  // namespace

bool beginsBurst(std::string_view line, bool modern) {
  return line.find("$GPRMC") != std::string_view::npos ||
         (modern && line.find("$GNRMC") != std::string_view::npos);
}

std::shared_ptr<ReplayClock> systemReplayClock() {
  static const auto clock = std::make_shared<SystemReplayClock>();
  return clock;
}

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
  reader_ = std::make_unique<LogLineReader>(fileName_, file.release());
  ++generation_;
  burst_.clear();
  delivered_ = 0;
  loopPasses_ = 0;
  passDelivered_ = 0;
  wrapped_ = false;
  seeking_ = false;
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
      const LogLineReader::Result read = reader_->next(line);
      if (read == LogLineReader::Result::End) {
        seeking_ = false;
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
      if (read == LogLineReader::Result::Line) {
        ++lines;
        const bool begins = beginsBurst(line, modern());
        if (begins && !seeking_) {
          deliver(line);
          return {State::Waiting, due_};
        }
        if (begins) {
          seeking_ = false;
          appendLine(burst_, line);
        } else if (!seeking_ && burst_.size() + line.size() + 2 <= kMaxBurst) {
          appendLine(burst_, line);
        }
      }
      // The handlers may switch files or end the replay; the loop looks again.
      if (processEvents) processEvents();
    }
  } catch (...) {
    abandon();
    throw;
  }
}

bool TTarnFileGPSReceiver::jumpTo(std::size_t burst, std::uint64_t offset) {
  if (!replaying()) return false;
  reader_->seek(burst == 0 ? 0 : offset);
  burst_.clear();
  seeking_ = burst > 0;
  passDelivered_ = burst;
  wrapped_ = false;
  due_ = {};
  // A delivery under way when a handler jumps neither waits nor keeps its
  // RMC line: the jump decides what comes next.
  ++generation_;
  return true;
}

bool TTarnFileGPSReceiver::restartFile() {
  RegularFile file(fileName_);
  switch (file.status()) {
    case RegularFile::Status::open:
      reader_ = std::make_unique<LogLineReader>(fileName_, file.release());
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
  reader_->seek(0);
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
