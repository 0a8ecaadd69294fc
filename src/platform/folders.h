#pragma once

#include <string>

namespace waymock {

// Folder of the running program file, with a trailing "/".
std::string executableDirectory();

}  // namespace waymock
