#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace waymock {

// Text from a file or the command line, made safe to put in a message: bytes
// outside printable ASCII (terminal escape sequences, line breaks, NULs) are
// shown as \xNN, and text longer than `limit` bytes is cut there and ends in
// "...", so a hostile name can neither drive the terminal nor flood the log.
std::string shownText(std::string_view text, std::size_t limit = 64);

}  // namespace waymock
