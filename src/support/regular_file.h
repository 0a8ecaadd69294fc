#pragma once

#include <string>

namespace waymock {

// A file opened for reading only when it is a regular file, the one check that
// every reader of a log makes. A FIFO without a writer, or a terminal, would
// hold the open and then every read for as long as nobody writes, ignoring
// the user's stop; so the open never waits, and anything but a regular file
// counts as no file to read.
class RegularFile {
 public:
  enum class Status {
    open,        // fd() reads the file
    missing,     // nothing at the path, or an empty path
    notRegular,  // a folder, FIFO, device or socket
    failed,      // error() says why it could not be opened
  };

  explicit RegularFile(const std::string& path);
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  Status status() const { return status_; }
  // The system's error number when the status is `failed`.
  int error() const { return error_; }
  int fd() const { return fd_; }
  // Hands the descriptor to the caller, who closes it.
  int release();

 private:
  Status status_ = Status::missing;
  int error_ = 0;
  int fd_ = -1;
};

// True when `path` names a regular file that can be opened for reading.
bool isRegularFile(const std::string& path);

}  // namespace waymock
