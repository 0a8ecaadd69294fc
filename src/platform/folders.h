#pragma once

#include <string>

namespace waymock {

// Folder of the running program file, with a trailing "/".
std::string executableDirectory();

// The program's own per-user data folder, "<application data>/waymock/"
// ($XDG_DATA_HOME, else ~/.local/share), with a trailing "/"; created when
// missing. The program folder is not writable once installed, so the files a
// user changes live here. Without a home folder it falls back to the program
// folder. A folder that cannot be created is not reported here: writing a
// file into it reports the error.
std::string userDataFolder();

// The satellite file in the per-user data folder.
std::string satelliteFilePath();

}  // namespace waymock
