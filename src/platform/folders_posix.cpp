#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/folders.h"
#include "support/error_log.h"

namespace waymock {

std::string executableDirectory() {
  std::array<char, 4096> buffer{};
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "./";
  std::string path(buffer.data(), static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string userDataFolder() {
  const std::string base = GetSpecialFolder(5);
  if (base.empty()) return executableDirectory();
  const std::string folder = base + kDataFolderName + "/";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

std::string satelliteFilePath() {
  return userDataFolder() + "satellites.ini";
}

std::string userCacheFolder() {
  namespace fs = std::filesystem;
  std::error_code error;
  if (const std::string cache = GetSpecialFolder(10); !cache.empty()) {
    const std::string folder = cache + "waymock/";
    if (fs::create_directories(folder, error)) {
      fs::permissions(folder, fs::perms::owner_all, error);
    }
    if (fs::is_directory(folder, error)) return folder;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && fs::is_directory(runtime, error)) {
    return std::string(runtime) + "/";
  }
  return GetSpecialFolder(19);
}

}  // namespace waymock
