#include "platform/nmea_socket.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/control_socket.h"
#include "support/error.h"

namespace waymock {

std::string NmeaSocketServer::defaultPath() {
  std::string path = defaultControlSocketPath();
  return path.substr(0, path.rfind('/') + 1) + "nmea.sock";
}

NmeaSocketServer::NmeaSocketServer(const std::string& path, TcpServer::Limits limits)
    : path_(path) {
  int listener = -1;
  try {
    listener = listenControlSocket(path);
  } catch (const IoError& e) {
    // The checks speak of the folder they share with the control socket.
    if (std::string(e.what()).find(path) != std::string::npos) throw;
    throw IoError("Cannot serve NMEA at " + path + ": " + e.what(), e.systemText());
  }
  ::chmod(path.c_str(), 0666);
  try {
    server_ = std::make_unique<TcpServer>(listener, path, limits);
  } catch (...) {
    removeControlSocket(path);
    throw;
  }
}

NmeaSocketServer::~NmeaSocketServer() {
  server_.reset();
  removeControlSocket(path_);
}

}  // namespace waymock
