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

// Where the program keeps what it can rebuild or lose, such as the output log's
// spool: "<cache>/waymock/" ($XDG_CACHE_HOME, else ~/.cache), with a trailing
// "/", made private to the user when missing. The cache is on disk, unlike the
// runtime folder ($XDG_RUNTIME_DIR, usually memory), which serves only when the
// cache cannot be made; then the temporary-files folder.
std::string userCacheFolder();

}  // namespace waymock
