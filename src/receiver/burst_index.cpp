#include "receiver/burst_index.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>

#include "support/error.h"
#include "support/regular_file.h"

namespace waymock::receiver {

BurstIndex BurstIndex::read(const std::string& path, bool modern) {
  RegularFile file(path);
  switch (file.status()) {
    case RegularFile::Status::open:
      break;
    case RegularFile::Status::missing:
      raiseIo("Cannot find the log file " + path + ".");
    case RegularFile::Status::notRegular:
      raiseIo("The log file " + path + " is not a regular file.");
    case RegularFile::Status::failed:
      raiseIo("Cannot read " + path + ": " + systemErrorText(file.error()) + ".");
  }
  LogLineReader reader(path, file.release());
  BurstIndex index;
  std::optional<RmcTime> previous;
  std::string_view line;
  for (LogLineReader::Result result; (result = reader.next(line)) != LogLineReader::Result::End;) {
    if (result != LogLineReader::Result::Line) continue;
    if (!beginsBurst(line, modern)) {
      if (!modern && beginsBurst(line, true)) ++index.modernOnly_;
      continue;
    }
    const std::optional<RmcTime> time = rmcTime(line, modern);
    if (!index.rmcOffsets_.empty()) {
      // The wait after the burst the previous RMC line began.
      const std::optional<long double> step =
          previous && time ? pacedStep(*previous, *time) : std::nullopt;
      index.stepSums_.push_back(index.stepSums_.back() + static_cast<double>(step.value_or(0)));
      index.untimedCounts_.push_back(index.untimedCounts_.back() + (step ? 0 : 1));
    }
    index.rmcOffsets_.push_back(reader.lineStart());
    previous = time;
  }
  return index;
}

std::uint64_t BurstIndex::offset(std::size_t burst) const {
  return burst == 0 || burst > rmcOffsets_.size() ? 0 : rmcOffsets_[burst - 1];
}

std::chrono::nanoseconds BurstIndex::timeLeft(std::size_t sent, const ReplayPace& pace) const {
  const std::size_t total = count();
  if (sent > total) return std::chrono::nanoseconds(0);
  // The wait after the last burst sent is still running.
  const std::size_t from = sent == 0 ? 0 : sent - 1;
  const auto delay = static_cast<long double>(std::max(pace.delay, 0)) / 1000;
  long double seconds = 0;
  if (!pace.paced) {
    seconds = static_cast<long double>(total - from) * delay;
  } else if (total > 0) {
    // Burst 0 holds no RMC line and waits nothing; the others are indexed
    // from burst 1 in the sums.
    const std::size_t first = std::max<std::size_t>(from, 1) - 1;
    const std::size_t last = total - 1;
    seconds = (stepSums_[last] - stepSums_[first]) / pace.rate +
              static_cast<long double>(untimedCounts_[last] - untimedCounts_[first]) * delay;
  }
  return std::chrono::nanoseconds(std::llround(seconds * 1e9L));
}

}  // namespace waymock::receiver
