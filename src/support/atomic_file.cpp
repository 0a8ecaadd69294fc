#include "support/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <optional>

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

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTempPrefix = ".waymock-";
constexpr std::string_view kTempSuffix = ".tmp";
// As many links as the system follows in one path.
constexpr int kMaxLinks = 40;

// Follows `target` while it names a symbolic link, the way opening it would,
// but only through links of the user's own: the rename goes to the file the
// last link names, which the system's protection of links in shared folders
// never sees. Returns why it stopped, or nothing.
std::string followOwnLinks(fs::path& target) {
  for (int hops = 0;; ++hops) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return {};
    if (info.st_uid != ::geteuid()) return kForeignLink;
    if (hops == kMaxLinks) return systemErrorText(ELOOP);
    std::error_code error;
    const fs::path next = fs::read_symlink(target, error);
    if (error) return systemErrorText(error.value());
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
}

// The process that made a temporary file of ours, from its name.
std::optional<pid_t> temporaryOwner(std::string_view name) {
  if (!name.starts_with(kTempPrefix) || !name.ends_with(kTempSuffix)) return std::nullopt;
  name.remove_prefix(kTempPrefix.size());
  name.remove_suffix(kTempSuffix.size());
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
  if (error != std::errc{} || pid <= 0 || end == name.data() + name.size() || *end != '-') {
    return std::nullopt;
  }
  const std::string_view counter(end + 1,
                                 static_cast<std::size_t>(name.data() + name.size() - end - 1));
  if (counter.empty() || counter.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  return pid;
}

// A save that was killed leaves its temporary file; nothing else would ever
// remove it. Only the user's own files of processes that have ended go.
void removeStaleTemporaries(const fs::path& folder) {
  std::error_code error;
  for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error), end;
       !error && it != end; it.increment(error)) {
    const std::optional<pid_t> pid = temporaryOwner(it->path().filename().native());
    if (!pid || *pid == ::getpid()) continue;
    // EPERM: the process lives, under another user.
    if (::kill(*pid, 0) == 0 || errno != ESRCH) continue;
    struct stat info {};
    if (::lstat(it->path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_uid == ::geteuid()) {
      ::unlink(it->path().c_str());
    }
  }
}

}  // namespace

std::string foreignLinkIn(const std::string& path) {
  fs::path target(path);
  return followOwnLinks(target);
}

std::string replaceFileContent(const std::string& path, std::string_view content) {
  return replaceFileContent(path, [content](int fd) { return writeAll(fd, content); });
}

std::string replaceFileContent(const std::string& path, const ContentWriter& writeContent) {
  fs::path target(path);
  if (std::string refused = followOwnLinks(target); !refused.empty()) return refused;
  // The rename would replace a file the user may not write as long as the
  // folder is writable: such a file is refused as writing it in place would be.
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 &&
      (errno == EACCES || errno == EPERM || errno == EROFS)) {
    return systemErrorText(errno);
  }
  removeStaleTemporaries(target.parent_path());
  static std::atomic<unsigned> counter{0};
  // A short name of its own, so a target name near the length limit still fits.
  const fs::path temp =
      target.parent_path() / (std::string(kTempPrefix) + std::to_string(::getpid()) + "-" +
                              std::to_string(counter++) + std::string(kTempSuffix));
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return systemErrorText(errno);
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
    return systemErrorText(error);
  }
  return {};
}

void writeFileAtomically(const std::string& path, std::string_view content) {
  writeFileAtomically(path, [content](int fd) { return writeAll(fd, content); });
}

void writeFileAtomically(const std::string& path, const ContentWriter& writeContent) {
  if (std::string why = replaceFileContent(path, writeContent); !why.empty()) {
    throw IoError("Cannot save the file " + path + ".", std::move(why));
  }
}

}  // namespace waymock
