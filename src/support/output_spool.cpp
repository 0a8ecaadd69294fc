#include "support/output_spool.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "support/atomic_file.h"
#include "support/error.h"

namespace waymock {

namespace {

// The entry's bytes in the log's form: every line ended by CR LF.
std::string logLines(std::string_view entry) {
  std::string lines;
  lines.reserve(entry.size() + entry.size() / 32 + 2);
  for (const char c : entry) {
    if (c == '\r') continue;
    if (c == '\n') lines += '\r';
    lines += c;
  }
  lines += "\r\n";
  return lines;
}

}  // namespace

OutputSpool::OutputSpool(std::string folder) : folder_(std::move(folder)) {
  if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

OutputSpool::~OutputSpool() {
  if (fd_ >= 0) ::close(fd_);
}

void OutputSpool::open() {
  std::string name = folder_ + "output-log-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) raiseIo("Cannot keep the output log in " + folder_ + ".", errno);
  // mkostemp made it 0600; without a name it cannot be opened again.
  ::unlink(name.c_str());
  fd_ = fd;
}

void OutputSpool::append(std::string_view entry) {
  if (fd_ < 0) open();
  const std::string bytes = logLines(entry);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(size_ + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      // The part written is outside the log either way; this only gives the
      // space back.
      if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
      }
      raiseIo("Cannot keep the output log in " + folder_ + ".", error);
    }
    done += static_cast<std::size_t>(n);
  }
  size_ += bytes.size();
}

void OutputSpool::clear() noexcept {
  size_ = 0;
  if (fd_ >= 0 && ::ftruncate(fd_, 0) != 0) {
    // The log is empty whatever the file holds: only its first size_ bytes count.
  }
}

void OutputSpool::saveTo(const std::string& path) const {
  writeFileAtomically(path, [this](int target) {
    std::array<char, 1 << 16> chunk;
    std::uint64_t at = 0;
    while (at < size_) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size_ - at));
      const ssize_t n = ::pread(fd_, chunk.data(), want, static_cast<off_t>(at));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n == 0) errno = EIO;
        return false;
      }
      if (!writeAll(target, std::string_view(chunk.data(), static_cast<std::size_t>(n)))) {
        return false;
      }
      at += static_cast<std::uint64_t>(n);
    }
    return true;
  });
}

}  // namespace waymock
