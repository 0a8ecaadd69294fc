#include "support/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace waymock {

RegularFile::RegularFile(const std::string& path) {
  if (path.empty()) return;
  // Looking first keeps devices closed: opening a serial device raises its
  // control lines, a tape may rewind.
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    status_ = Status::notRegular;
    return;
  }
  // What is opened is checked again, since the name may have changed hands.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = errno;
    status_ = error_ == ENOENT || error_ == ENOTDIR ? Status::missing : Status::failed;
    return;
  }
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    status_ = Status::notRegular;
    return;
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  status_ = Status::open;
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

int RegularFile::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool isRegularFile(const std::string& path) {
  return RegularFile(path).status() == RegularFile::Status::open;
}

}  // namespace waymock
