#include "support/error_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "common/test_support.h"
#include "platform/clock.h"
#include "support/datetime.h"
#include "support/error.h"

namespace waymock {
namespace {

ErrorLogContext context(const Clock& clock, bool admin, const std::string& dataFolder) {
  ErrorLogContext c;
  c.clock = &clock;
  c.isAdministrator = [admin] { return admin; };
  c.specialFolder = [dataFolder](int kind) { return kind == 5 ? dataFolder : std::string(); };
  return c;
}

TEST(ErrorLog, AppendsDatedLinesWithCrLf) {
  test::EnvGuard locale("LC_ALL", "C");
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

TEST(ErrorLog, NonAdministratorWritesToTheProgramsDataFolder) {
  test::EnvGuard locale("LC_ALL", "C");
  test::TempDir dir;
  FixedClock clock(encodeDateTime({2024, 3, 23, 12, 35, 19, 0}));
  const auto data = (dir / "share" / "nested").string() + "/";
  WriteLogLine((dir / "given.log").string(), "text", context(clock, false, data));
  EXPECT_FALSE(std::filesystem::exists(dir / "given.log"));
  EXPECT_EQ(test::readFile(dir / "share" / "nested" / "waymock" / "WAYM.log"),
            "03/23/2024, 12:35:19 - text\r\n");
}

// Root included: no one here counts as an administrator, so the path the
// program gives (its own, with ".log") is never written.
TEST(ErrorLog, EveryUsersLogIsWaymLogInTheProgramsDataFolder) {
  test::EnvGuard locale("LC_ALL", "C");
  test::TempDir dir;
  test::EnvGuard data("XDG_DATA_HOME", (dir / "data").string());
  FixedClock clock(encodeDateTime({2026, 12, 6, 9, 5, 7, 0}));
  ErrorLogContext c;
  c.clock = &clock;
  EXPECT_FALSE(IsAdministrator());
  WriteLogLine((dir / "waymock.log").string(), "btnStart text", c);
  EXPECT_FALSE(std::filesystem::exists(dir / "waymock.log"));
  EXPECT_FALSE(std::filesystem::exists(dir / "data" / "WAYM.log"));
  EXPECT_EQ(test::readFile(dir / "data" / "waymock" / "WAYM.log"),
            "12/06/2026, 09:05:07 - btnStart text\r\n");
  EXPECT_EQ(errorLogFile(), (dir / "data" / "waymock" / "WAYM.log").string());
}

// No data folder, or one that cannot be made (HOME names a folder that does
// not exist and cannot be created): WAYM.log in the current folder.
TEST(ErrorLog, NonAdministratorWithoutDataFolderUsesTheCurrentFolder) {
  test::EnvGuard locale("LC_ALL", "C");
  test::TempDir dir;
  test::writeFile(dir / "file", "");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  FixedClock clock(encodeDateTime({2024, 1, 2, 3, 4, 5, 0}));
  WriteLogLine("ignored.log", "here", context(clock, false, ""));
  {
    test::EnvGuard home("HOME", (dir / "file" / "home").string()),
        data("XDG_DATA_HOME", std::nullopt);
    ErrorLogContext c;
    c.clock = &clock;
    c.isAdministrator = [] { return false; };
    WriteLogLine("ignored.log", "no home", c);
  }
  EXPECT_EQ(errorLogFile(context(clock, false, "")), "WAYM.log");
  std::filesystem::current_path(previous);
  EXPECT_EQ(test::readFile(dir / "WAYM.log"),
            "01/02/2024, 03:04:05 - here\r\n01/02/2024, 03:04:05 - no home\r\n");
}

// The time of day as the user's locale writes it; here a locale made for the
// test whose long time form is on a 12-hour clock.
TEST(ErrorLog, TimeOfDayInTheLocalesLongTimeForm) {
  test::TempDir dir;
  test::writeFile(dir / "twelve-hour",
                  "LC_TIME\n"
                  "abday \"Sun\";\"Mon\";\"Tue\";\"Wed\";\"Thu\";\"Fri\";\"Sat\"\n"
                  "day \"Sunday\";\"Monday\";\"Tuesday\";\"Wednesday\";\"Thursday\";\"Friday\";"
                  "\"Saturday\"\n"
                  "abmon \"Jan\";\"Feb\";\"Mar\";\"Apr\";\"May\";\"Jun\";\"Jul\";\"Aug\";\"Sep\";"
                  "\"Oct\";\"Nov\";\"Dec\"\n"
                  "mon \"January\";\"February\";\"March\";\"April\";\"May\";\"June\";\"July\";"
                  "\"August\";\"September\";\"October\";\"November\";\"December\"\n"
                  "am_pm \"AM\";\"PM\"\n"
                  "d_t_fmt \"%a %d %b %Y %r\"\nd_fmt \"%d.%m.%Y\"\nt_fmt \"%r\"\n"
                  "t_fmt_ampm \"%I:%M:%S %p\"\n"
                  "END LC_TIME\n");
  const std::string made = (dir / "xx_XX.UTF-8").string();
  const std::string command = "localedef -c -i '" + (dir / "twelve-hour").string() +
                              "' -f UTF-8 '" + made + "' >/dev/null 2>&1";
  [[maybe_unused]] const int status = std::system(command.c_str());  // warnings give 1
  ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(made) / "LC_TIME"))
      << "localedef could not make a test locale";
  const auto file = dir / "waymock.log";
  // In a child: the C library keeps (and loses track of) a few bytes of a
  // locale loaded through LOCPATH, which the leak checker would report.
  const pid_t child = fork();
  if (child == 0) {
    setenv("LOCPATH", dir.path().c_str(), 1);
    unsetenv("LC_ALL");
    setenv("LC_TIME", "xx_XX.UTF-8", 1);
    FixedClock clock(encodeDateTime({2026, 12, 6, 21, 5, 7, 0}));
    try {
      WriteLogLine(file.string(), "late", context(clock, true, ""));
    } catch (...) {
    }
    _exit(0);
  }
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(test::readFile(file), "12/06/2026, 09:05:07 PM - late\r\n");
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
  test::EnvGuard h("HOME", home), d("XDG_DATA_HOME", std::nullopt),
      c("XDG_CACHE_HOME", "/var/cache/x"), cfg("XDG_CONFIG_HOME", std::nullopt),
      t("TMPDIR", std::nullopt);
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

  test::EnvGuard data("XDG_DATA_HOME", "/srv/data");
  EXPECT_EQ(GetSpecialFolder(5), "/srv/data/");
  // A relative XDG value is invalid and ignored.
  test::EnvGuard relative("XDG_DATA_HOME", "relative");
  EXPECT_EQ(GetSpecialFolder(5), home + "/.local/share/");
}

}  // namespace
}  // namespace waymock
