#include "engine/network_targets.h"

#include <exception>

#include "engine/simulator_settings.h"
#include "engine/transmitter.h"
#include "platform/nmea_socket.h"
#include "platform/service_announcer.h"
#include "platform/tcp_server.h"
#include "platform/udp_sender.h"

namespace waymock {

NetworkTargets::NetworkTargets() = default;

NetworkTargets::~NetworkTargets() {
  close();
}

namespace {

const char* tcpHost(const SimulatorSettings& s) {
  return s.tcpAllInterfaces ? "0.0.0.0" : "127.0.0.1";
}

// Port 0 asks for any port, so the one the system picked serves.
bool listensAsAsked(const TcpServer& server, const SimulatorSettings& s) {
  return s.tcpServer && server.host() == tcpHost(s) &&
         (s.tcpPort == 0 || server.port() == s.tcpPort);
}

}  // namespace

void NetworkTargets::open(const SimulatorSettings& s, const std::vector<Transmitter*>& transmitters,
                          const Problem& problem) {
  // A Start while running keeps the server, and its clients connected, when
  // it would listen where it does.
  std::unique_ptr<TcpServer> kept = tcp_ && listensAsAsked(*tcp_, s) ? std::move(tcp_) : nullptr;
  close();
  tcp_ = std::move(kept);
  if (s.tcpServer && !tcp_) {
    try {
      tcp_ = std::make_unique<TcpServer>(tcpHost(s), s.tcpPort);
    } catch (const std::exception& e) {
      problem(e);
    }
  }
  if (tcp_ && s.announceTcp) {
    try {
      announcer_ = std::make_unique<ServiceAnnouncer>(tcp_->host(), tcp_->port());
    } catch (const std::exception& e) {
      problem(e);
    }
  }
  if (s.nmeaSocket) {
    try {
      nmeaSocket_ = std::make_unique<NmeaSocketServer>(
          s.nmeaSocketPath.empty() ? NmeaSocketServer::defaultPath() : s.nmeaSocketPath);
    } catch (const std::exception& e) {
      problem(e);
    }
  }
  try {
    for (const HostPort& target : parseHostPortList(s.udpTargets, kUdpTargetForm)) {
      udp_.push_back(std::make_unique<UdpSender>(target.host, target.port));
    }
  } catch (const std::exception& e) {
    // What the user sees listed is either all served or said to be wrong.
    udp_.clear();
    problem(e);
  }
  attached_ = transmitters;
  for (Transmitter* transmitter : attached_) {
    for (const auto& udp : udp_) transmitter->addUdp(*udp);
    if (tcp_) transmitter->addTcp(*tcp_);
    if (nmeaSocket_) transmitter->addTcp(nmeaSocket_->server());
  }
}

void NetworkTargets::close() {
  for (Transmitter* transmitter : attached_) transmitter->clearAddedTargets();
  attached_.clear();
  udp_.clear();
  announcer_.reset();
  tcp_.reset();
  nmeaSocket_.reset();
}

}  // namespace waymock
