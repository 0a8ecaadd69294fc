#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace waymock::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, std::string_view content);

// Switches the C and C++ global locale for its lifetime. ok() is false when the
// locale is not installed on this machine.
class LocaleGuard {
 public:
  explicit LocaleGuard(const char* name);
  ~LocaleGuard();
  bool ok() const { return ok_; }

 private:
  std::string previous_;
  bool ok_ = false;
};

// A locale whose decimal separator is "," (installed by scripts/test).
inline constexpr const char* kDecimalCommaLocale = "de_DE.UTF-8";

struct ProcessResult {
  int exitCode = -1;  // -1 when killed by a signal or timed out
  std::string out;
  std::string err;
};

// Runs a program with arguments, feeds `input` on standard input, and collects
// its output. The program is killed after `timeout`.
ProcessResult runProcess(const std::vector<std::string>& args, std::string_view input = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Path of the built command-line tool.
inline std::string cliPath() { return WAYMOCK_CLI_PATH; }

}  // namespace waymock::test
