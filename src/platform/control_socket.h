#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace waymock {

// The listening sockets of the control channel, through which scripts steer a
// running simulator. Both are non-blocking and close on exec; the caller owns
// the descriptor.

// Where the control socket lives unless given: "$XDG_RUNTIME_DIR/waymock/
// control.sock", else "/tmp/waymock-<uid>/control.sock".
std::string defaultControlSocketPath();

// The folder of the default path.
std::string defaultControlFolder();
// Checks a folder for a control socket or token as listenControlSocket does,
// creating the default folder when missing. Throws IoError saying why.
void checkControlFolder(const std::string& folder);

// Listens on a Unix socket at `path`, readable and writable by its owner only
// (mode 0600). The default path's folder is created private (0700) when
// missing and must be the user's own and private. Throws IoError, naming the
// path and why, for a folder or socket that belongs to someone else (a folder
// of root's with the sticky bit, as /tmp, excepted), a default folder others
// may enter, a folder others may write in without the sticky bit (they could
// delete the socket and listen in its place), a file there that is no socket,
// or a socket that another process still listens on; a socket left by a
// process that ended is removed and replaced.
int listenControlSocket(const std::string& path);

// Removes the socket file that listenControlSocket made. Never throws.
void removeControlSocket(const std::string& path) noexcept;

// A client's connection to the control socket at `path`. Another user could
// listen there in the simulator's place, so the folder passes the checks
// listenControlSocket makes (a missing default folder is not made), and the
// process at the other end must run as this user or root. Throws IoError
// naming the path and why.
int connectControlSocket(const std::string& path);

// The user ID of the process at the other end of a Unix socket.
std::optional<uid_t> peerUserId(int fd);
// Whether a process of `uid` may steer this user's simulator, or answer this
// user's client: the user itself or root.
bool trustedUser(uid_t uid);

// Listens on TCP at `host` (127.0.0.1 unless the user names another) and
// `port` (0: the system picks one; port() reads it back). An address other
// than loopback is refused with Error unless `anyAddress`: the channel can
// move files' contents into replies. Throws IoError "Cannot listen on
// HOST:PORT." as the TCP server does.
int listenControlTcp(const std::string& host, int port, bool anyAddress = false);
// The port a listening socket has.
int listeningPort(int fd);

}  // namespace waymock
