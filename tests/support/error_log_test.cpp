#include "support/error_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "common/test_support.h"
#include "platform/clock.h"
#include "support/datetime.h"
#include "support/error.h"

namespace waymock {
namespace {

// Sets an environment variable for its lifetime.
class EnvGuard {
 public:
  EnvGuard(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = getenv(name)) previous_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~EnvGuard() {
    if (previous_) {
      setenv(name_, previous_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

ErrorLogContext context(const Clock& clock, bool admin, const std::string& dataFolder) {
  ErrorLogContext c;
  c.clock = &clock;
  c.isAdministrator = [admin] { return admin; };
  c.specialFolder = [dataFolder](int kind) { return kind == 5 ? dataFolder : std::string(); };
  return c;
}

TEST(ErrorLog, AppendsDatedLinesWithCrLf) {
  test::TempDir dir;
  const auto file = dir / "waymock.log";
  test::writeFile(file, "earlier line\r\n");
  FixedClock clock(encodeDateTime({2026, 12, 6, 9, 5, 7, 400}));
  const auto c = context(clock, true, "");
  WriteLogLine(file.string(), "TarnNMEA Heading must be between 0 and 360.", c);
  clock.set(encodeDateTime({2026, 12, 6, 23, 59, 59, 0}));
  WriteLogLine(file.string(), "second", c);
  EXPECT_EQ(test::readFile(file),
            "earlier line\r\n"
            "12/06/2026, 09:05:07 - TarnNMEA Heading must be between 0 and 360.\r\n"
            "12/06/2026, 23:59:59 - second\r\n");
}

TEST(ErrorLog, NonAdministratorWritesToTheDataFolder) {
  test::TempDir dir;
  FixedClock clock(encodeDateTime({2024, 3, 23, 12, 35, 19, 0}));
  const auto data = (dir / "share" / "nested").string() + "/";
  WriteLogLine((dir / "given.log").string(), "text", context(clock, false, data));
  EXPECT_FALSE(std::filesystem::exists(dir / "given.log"));
  EXPECT_EQ(test::readFile(dir / "share" / "nested" / "WAYM.log"),
            "03/23/2024, 12:35:19 - text\r\n");
}

TEST(ErrorLog, NonAdministratorWithoutDataFolderUsesTheCurrentFolder) {
  test::TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  FixedClock clock(encodeDateTime({2024, 1, 2, 3, 4, 5, 0}));
  WriteLogLine("ignored.log", "here", context(clock, false, ""));
  std::filesystem::current_path(previous);
  EXPECT_EQ(test::readFile(dir / "WAYM.log"), "01/02/2024, 03:04:05 - here\r\n");
}

TEST(ErrorLog, FailureRaisesIoError) {
  test::TempDir dir;
  test::writeFile(dir / "file", "");
  const std::string path = (dir / "file" / "waymock.log").string();
  FixedClock clock(0);
  try {
    WriteLogLine(path, "lost", context(clock, true, ""));
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot write the error log " + path + ": Not a directory.");
  }
  EXPECT_EQ(test::readFile(dir / "file"), "");
}

TEST(ErrorLog, SpecialFoldersFollowXdg) {
  test::TempDir dir;
  const std::string home = dir.path().string();
  EnvGuard h("HOME", home), d("XDG_DATA_HOME", std::nullopt), c("XDG_CACHE_HOME", "/var/cache/x"),
      cfg("XDG_CONFIG_HOME", std::nullopt), t("TMPDIR", std::nullopt);
  std::filesystem::create_directories(dir / ".config");
  test::writeFile(dir / ".config" / "user-dirs.dirs",
                  "# written by xdg-user-dirs-update\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  struct Case {
    int kind;
    std::string folder;
  } const cases[] = {
      {0, home + "/Schreibtisch/"},
      {4, home + "/"},
      {5, home + "/.local/share/"},
      {16, home + "/.local/share/"},
      {10, "/var/cache/x/"},
      {19, "/tmp/"},
      {7, ""},
      {17, ""},
      {-1, ""},
      {27, ""},
  };
  for (const auto& k : cases) EXPECT_EQ(GetSpecialFolder(k.kind), k.folder) << k.kind;

  EnvGuard data("XDG_DATA_HOME", "/srv/data");
  EXPECT_EQ(GetSpecialFolder(5), "/srv/data/");
  // A relative XDG value is invalid and ignored.
  EnvGuard relative("XDG_DATA_HOME", "relative");
  EXPECT_EQ(GetSpecialFolder(5), home + "/.local/share/");
}

}  // namespace
}  // namespace waymock
