#pragma once

#include <string>
#include <string_view>

namespace waymock {

// TCP control's shared secret. Any local user can reach a loopback port, so
// the simulator writes a random token to a file only its user can read, and a
// TCP client's first line must carry it: {"cmd":"hello","token":"..."}.

// "<folder of the default control socket>/tcp-PORT.token": one file per
// port, so simulators side by side keep theirs apart and a client that knows
// the port finds the file.
std::string defaultControlTokenPath(int port);

// Makes a new token (256 random bits as 64 hexadecimal digits) and writes it
// to `path`, mode 0600, replacing a file of this user's left there; the
// folder is checked as the control socket's is. Throws IoError naming the
// file and why.
std::string writeControlToken(const std::string& path);
// Removes the token file. Never throws.
void removeControlToken(const std::string& path) noexcept;

// The token in the file at `path`, which must be a file of this user's that
// no one else may read. Throws IoError naming the file and why.
std::string readControlToken(const std::string& path);

// Whether two tokens are the same, in a time that does not tell where they
// differ.
bool sameToken(std::string_view given, std::string_view expected);

}  // namespace waymock
