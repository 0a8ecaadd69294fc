#include "receiver/log_lines.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "support/error.h"

namespace waymock::receiver {

namespace {

[[noreturn]] void cannotRead(const std::string& path, int error) {
  raiseIo("Cannot read " + path + ": " + systemErrorText(error) + ".");
}

// Some receivers end their lines in CR CR LF.
std::string_view withoutCr(std::string_view line) {
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

LogLineReader::LogLineReader(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

LogLineReader::~LogLineReader() {
  ::close(fd_);
}

LogLineReader::Result LogLineReader::next(std::string_view& line) {
  if (begin_ == end_ && !fill()) {
    if (!spanning_) return Result::End;
    spanning_ = false;
    lineEnded();
    line = cut_ ? std::string_view(long_) : withoutCr(long_);
    return Result::Line;
  }
  const char* start = buffer_ + begin_;
  const std::size_t available = end_ - begin_;
  const auto* lf = static_cast<const char*>(std::memchr(start, '\n', available));
  const std::size_t length = lf != nullptr ? static_cast<std::size_t>(lf - start) : available;
  begin_ += lf != nullptr ? length + 1 : length;
  if (lf != nullptr && !spanning_) {
    lineEnded();
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
  lineEnded();
  line = cut_ ? std::string_view(long_) : withoutCr(long_);
  return Result::Line;
}

void LogLineReader::seek(std::uint64_t offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) cannotRead(path_, errno);
  begin_ = end_ = 0;
  spanning_ = cut_ = false;
  fileOffset_ = lineStart_ = nextStart_ = offset;
}

void LogLineReader::lineEnded() {
  lineStart_ = nextStart_;
  nextStart_ = fileOffset_ - (end_ - begin_);
}

bool LogLineReader::fill() {
  ssize_t n = 0;
  do {
    n = ::read(fd_, buffer_, kBufferSize);
  } while (n < 0 && errno == EINTR);
  if (n < 0) cannotRead(path_, errno);
  begin_ = 0;
  end_ = static_cast<std::size_t>(n);
  bytesRead_ += end_;
  fileOffset_ += end_;
  return n > 0;
}

}  // namespace waymock::receiver
