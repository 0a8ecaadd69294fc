#pragma once

#include <memory>
#include <string>

#include "platform/tcp_server.h"

namespace waymock {

// Serves each burst to every client of a Unix stream socket, the way a
// location service reads NMEA from a local socket (GeoClue's nmea-socket): a
// client receives whole bursts from the first one sent after it connected.
// The clients are those of a TcpServer (same queues, caps and slow-client
// rules) over the Unix socket.
//
// The socket's folder passes the control socket's checks (the default folder
// is made private to the user); the socket itself may be connected to by any
// user who can reach the folder, since a location service runs as a user of
// its own and the stream holds nothing that the TCP server does not offer on
// loopback. The socket file goes when the server ends.
class NmeaSocketServer {
 public:
  // Where the socket lives unless given: "nmea.sock" beside the default
  // control socket ("$XDG_RUNTIME_DIR/waymock/nmea.sock").
  static std::string defaultPath();

  // Listens at once. Throws IoError for the reasons listenControlSocket
  // gives, naming the path ("Cannot serve NMEA at PATH: " and why, where the
  // reason names only the folder).
  explicit NmeaSocketServer(const std::string& path, TcpServer::Limits limits = {});
  ~NmeaSocketServer();
  NmeaSocketServer(const NmeaSocketServer&) = delete;
  NmeaSocketServer& operator=(const NmeaSocketServer&) = delete;

  const std::string& path() const { return path_; }
  // The clients and their queues: a transmitter's target.
  TcpServer& server() { return *server_; }
  const TcpServer& server() const { return *server_; }

 private:
  std::string path_;
  std::unique_ptr<TcpServer> server_;
};

}  // namespace waymock
