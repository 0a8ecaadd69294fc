#pragma once

#include <string>

namespace waymock {

// The listening sockets of the control channel, through which scripts steer a
// running simulator. Both are non-blocking and close on exec; the caller owns
// the descriptor.

// Where the control socket lives unless given: "$XDG_RUNTIME_DIR/waymock/
// control.sock", else "/tmp/waymock-<uid>/control.sock".
std::string defaultControlSocketPath();

// Listens on a Unix socket at `path`, readable and writable by its owner only
// (mode 0600). The default path's folder is created private (0700) when
// missing and must be the user's own and private. Throws IoError, naming the
// path and why, for a folder or socket that belongs to someone else, a
// folder others may enter, a file there that is no socket, or a socket that
// another process still listens on; a socket left by a process that ended is
// removed and replaced.
int listenControlSocket(const std::string& path);

// Removes the socket file that listenControlSocket made. Never throws.
void removeControlSocket(const std::string& path) noexcept;

// Listens on TCP at `host` (127.0.0.1 unless the user names another) and
// `port` (0: the system picks one; port() reads it back). Throws IoError
// "Cannot listen on HOST:PORT." as the TCP server does.
int listenControlTcp(const std::string& host, int port);
// The port a listening socket has.
int listeningPort(int fd);

}  // namespace waymock
