#include "support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "support/error.h"

namespace waymock {

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

int replaceFileContent(const std::string& path, std::string_view content) {
  return replaceFileContent(path, [content](int fd) { return writeAll(fd, content); });
}

int replaceFileContent(const std::string& path, const ContentWriter& writeContent) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  fs::path target(path);
  if (fs::is_symlink(target, ignored)) {
    const fs::path resolved = fs::weakly_canonical(target, ignored);
    if (!resolved.empty()) target = resolved;
  }
  // The rename would replace a file the user may not write as long as the
  // folder is writable: such a file is refused as writing it in place would be.
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 &&
      (errno == EACCES || errno == EPERM || errno == EROFS)) {
    return errno;
  }
  static std::atomic<unsigned> counter{0};
  // A short name of its own, so a target name near the length limit still fits.
  const fs::path temp = target.parent_path() / (".waymock-" + std::to_string(::getpid()) + "-" +
                                                std::to_string(counter++) + ".tmp");
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::fchmod(fd, old.st_mode & 07777);
  }
  bool ok = writeContent(fd) && ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return error;
  }
  return 0;
}

void writeFileAtomically(const std::string& path, std::string_view content) {
  writeFileAtomically(path, [content](int fd) { return writeAll(fd, content); });
}

void writeFileAtomically(const std::string& path, const ContentWriter& writeContent) {
  if (const int error = replaceFileContent(path, writeContent); error != 0) {
    raiseIo("Cannot save the file " + path + ".", error);
  }
}

}  // namespace waymock
