#include "support/error_log.h"

#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "support/clock.h"
#include "support/datetime.h"
#include "support/error.h"
#include "support/number_text.h"

namespace waymock {

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string home() {
  return environment("HOME");
}

std::string withSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// An XDG base directory: the variable when it holds an absolute path, else
// the given folder under the home folder.
std::string xdgBase(const char* variable, const char* underHome) {
  const std::string value = environment(variable);
  if (!value.empty() && value.front() == '/') return value;
  return home().empty() ? "" : home() + "/" + underHome;
}

// A folder of user-dirs.dirs ("XDG_DESKTOP_DIR="$HOME/Desktop""), else the
// fallback under the home folder.
std::string xdgUserDir(const char* key, const char* fallback) {
  std::ifstream in(xdgBase("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs");
  const std::string prefix = std::string(key) + "=";
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) != 0) continue;
    std::string value = line.substr(prefix.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.rfind("$HOME", 0) == 0) value = home() + value.substr(5);
    if (!value.empty() && value.front() == '/') return value;
  }
  return home().empty() || fallback == nullptr ? "" : home() + "/" + fallback;
}

DateTimeParts localNow(const Clock* clock) {
  if (clock != nullptr) return decodeDateTime(clock->localNow());
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  DateTimeParts parts;
  parts.year = local.tm_year + 1900;
  parts.month = local.tm_mon + 1;
  parts.day = local.tm_mday;
  parts.hour = local.tm_hour;
  parts.minute = local.tm_min;
  parts.second = local.tm_sec;
  return parts;
}

void appendDigits(std::string& out, int value, int width) {
  appendUnsigned(out, static_cast<std::uint64_t>(value < 0 ? 0 : value), width);
}

// The time of day in the long time form of the user's locale (LC_ALL,
// LC_TIME, LANG), read afresh for every line; the C form when the user's
// locale is not available.
void appendLocalTime(std::string& out, const DateTimeParts& t) {
  std::tm time{};
  time.tm_year = t.year - 1900;
  time.tm_mon = t.month - 1;
  time.tm_mday = t.day;
  time.tm_hour = t.hour;
  time.tm_min = t.minute;
  time.tm_sec = t.second;
  time.tm_isdst = -1;
  locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr))
    user = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
  char text[128];
  const std::size_t n =
      user != static_cast<locale_t>(nullptr) ? strftime_l(text, sizeof text, "%X", &time, user) : 0;
  if (user != static_cast<locale_t>(nullptr)) freelocale(user);
  if (n > 0) {
    out.append(text, n);
    return;
  }
  appendDigits(out, t.hour, 2);
  out += ':';
  appendDigits(out, t.minute, 2);
  out += ':';
  appendDigits(out, t.second, 2);
}

// "MM/dd/yyyy, <time> - text" CR LF: the date in one fixed form everywhere,
// the time as the user's locale writes it.
std::string logLine(const DateTimeParts& t, const std::string& text) {
  std::string line;
  line.reserve(text.size() + 40);
  appendDigits(line, t.month, 2);
  line += '/';
  appendDigits(line, t.day, 2);
  line += '/';
  appendDigits(line, t.year, 4);
  line += ", ";
  appendLocalTime(line, t);
  line += " - ";
  line += text;
  line += "\r\n";
  return line;
}

// The program's folder in the application data folder, made when missing;
// empty when there is none or it cannot be made (no home folder, or one that
// does not exist).
std::string dataFolder(const ErrorLogContext& context) {
  const std::string base = context.specialFolder ? context.specialFolder(5) : GetSpecialFolder(5);
  if (base.empty()) return base;
  const std::string folder = withSlash(base) + kDataFolderName + "/";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return std::filesystem::is_directory(folder, error) ? folder : std::string();
}

[[noreturn]] void failed(const std::string& file, int error) {
  raiseIo("Cannot write the error log " + file + ": " + std::strerror(error) + ".");
}

}  // namespace

bool IsAdministrator() {
  return false;
}

std::string GetSpecialFolder(int kind) {
  switch (kind) {
    case 0:
      return withSlash(xdgUserDir("XDG_DESKTOP_DIR", "Desktop"));
    case 1:  // start menu
    case 2:
      return withSlash(xdgBase("XDG_DATA_HOME", ".local/share") + "/applications");
    case 3:
      return withSlash(xdgBase("XDG_CONFIG_HOME", ".config") + "/autostart");
    case 4:
      return withSlash(xdgUserDir("XDG_DOCUMENTS_DIR", ""));
    case 5:
    case 16:
      return withSlash(xdgBase("XDG_DATA_HOME", ".local/share"));
    case 6:
      return withSlash(xdgBase("XDG_DATA_HOME", ".local/share") + "/fonts");
    case 10:
      return withSlash(xdgBase("XDG_CACHE_HOME", ".cache"));
    case 15:
      return withSlash(xdgUserDir("XDG_TEMPLATES_DIR", "Templates"));
    case 19: {
      const std::string tmp = environment("TMPDIR");
      return withSlash(!tmp.empty() && tmp.front() == '/' ? tmp : "/tmp");
    }
    case 20:
      return "/";
    case 21:
      return "/usr/local/";
    case 22:
      return "/usr/share/";
    case 23:
      return "/etc/";
    default:
      return "";
  }
}

std::string errorLogFile(const ErrorLogContext& context) {
  // Without a usable data folder the log goes to the current folder.
  return withSlash(dataFolder(context)) + "WAYM.log";
}

void WriteLogLine(const std::string& path, const std::string& text,
                  const ErrorLogContext& context) {
  const bool admin = context.isAdministrator ? context.isAdministrator() : IsAdministrator();
  const std::string file = admin ? path : errorLogFile(context);

  const std::string line = logLine(localNow(context.clock), text);
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) failed(file, errno);
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      ::close(fd);
      failed(file, error);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) failed(file, errno);
}

}  // namespace waymock
