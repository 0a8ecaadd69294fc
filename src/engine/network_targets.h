#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/host_port.h"

namespace waymock {

class NmeaSocketServer;
class ServiceAnnouncer;
struct SimulatorSettings;
class TcpServer;
class Transmitter;
class UdpSender;

// How the further UDP targets are read where the user lists them; messages
// start with "UDP target".
inline constexpr HostPortForm kUdpTargetForm{"UDP target", "", 1};

// The targets a run serves beyond the serial port and the one UDP target: the
// TCP server (announced over DNS-SD when asked), the NMEA socket and the
// further UDP targets, made from the settings at Start and dropped at Stop.
class NetworkTargets {
 public:
  NetworkTargets();
  ~NetworkTargets();
  NetworkTargets(const NetworkTargets&) = delete;
  NetworkTargets& operator=(const NetworkTargets&) = delete;

  // Drops what was open, then listens (on 0.0.0.0 with all interfaces, else
  // 127.0.0.1) when the server is on (a server listening there already stays,
  // with its clients), announces it when asked, listens on the NMEA socket
  // when it is on, makes a sender per listed target, and makes them targets
  // of each transmitter. What cannot be made is left out and handed to
  // `problem`, one error each (Error "UDP target: ...", IoError
  // "Cannot listen on ..."); the rest goes on. A list with a bad entry sends
  // to none of it.
  using Problem = std::function<void(const std::exception& error)>;
  void open(const SimulatorSettings& settings, const std::vector<Transmitter*>& transmitters,
            const Problem& problem);
  // No longer targets of the transmitters; the server disconnects its clients.
  void close();

  // The server listening now, if any.
  const TcpServer* tcp() const { return tcp_.get(); }
  const NmeaSocketServer* nmeaSocket() const { return nmeaSocket_.get(); }
  const ServiceAnnouncer* announcer() const { return announcer_.get(); }
  std::size_t udpTargets() const { return udp_.size(); }

 private:
  std::vector<Transmitter*> attached_;
  std::unique_ptr<TcpServer> tcp_;
  std::unique_ptr<ServiceAnnouncer> announcer_;
  std::unique_ptr<NmeaSocketServer> nmeaSocket_;
  std::vector<std::unique_ptr<UdpSender>> udp_;
};

}  // namespace waymock
