#pragma once

#include <functional>
#include <string>

namespace waymock {

class Clock;

// The program's own folder in the application data folder, which holds the
// error log and the files a user changes (platform/folders.h: userDataFolder).
inline constexpr const char* kDataFolderName = "waymock";

// Whether the current user counts as an administrator for the error log: on
// this system no one does. Root has a home folder of its own like everyone
// else, and the folder next to the program (/usr/bin) is no place for a log.
bool IsAdministrator();

// The user's special folders by the kind numbers 0 to 26, as a path ending in
// "/", or empty where this system has no such folder. The ones that exist here:
//   0 desktop ($XDG_DESKTOP_DIR, else ~/Desktop)   4 personal ($HOME)
//   5 application data and 16 local application data ($XDG_DATA_HOME, else
//     ~/.local/share)
//   10 cache ($XDG_CACHE_HOME, else ~/.cache)   19 temporary files ($TMPDIR, else /tmp)
//   21 programs (/usr/local/)   22 shared program files (/usr/share/)
std::string GetSpecialFolder(int kind);

// What WriteLogLine asks of the system, replaceable for tests.
struct ErrorLogContext {
  const Clock* clock = nullptr;                   // nullptr: the system's local time
  std::function<bool()> isAdministrator;          // empty: IsAdministrator
  std::function<std::string(int)> specialFolder;  // empty: GetSpecialFolder
};

// The error log of a user who is no administrator (here, every user): WAYM.log
// in the program's folder of the application data folder,
// "<application data>/waymock/", which is made when missing; when there is no
// application data folder, or the folder cannot be made, WAYM.log in the
// current folder.
std::string errorLogFile(const ErrorLogContext& context = {});

// Appends one line "MM/dd/yyyy, <time> - text" with CR LF, in local time, the
// time in the long time form of the user's locale (strftime's %X), to `path`
// when the user is an administrator and otherwise to errorLogFile(). The file
// is never truncated. Throws IoError when the line cannot be written.
void WriteLogLine(const std::string& path, const std::string& text,
                  const ErrorLogContext& context = {});

}  // namespace waymock
