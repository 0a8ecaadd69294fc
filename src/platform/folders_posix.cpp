#include <unistd.h>

#include <array>
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
  const std::string folder = base + "waymock/";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

std::string satelliteFilePath() {
  return userDataFolder() + "satellites.ini";
}

}  // namespace waymock
