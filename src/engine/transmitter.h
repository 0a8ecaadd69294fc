#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace waymock {

class TcpServer;
class UdpSender;

namespace generator {
class TTarnNMEAGenerator;
}

// The output steps that the simulator tick and a replayed fix share: the burst
// to the port, a copy to each network target whatever the port did, and the
// burst reported to the front end only when the port took bytes.
//
// Network targets (UDP senders, TCP servers) get every burst the tick builds,
// even one a stalled or vanished serial device did not take: a network client
// should not go dark because of a serial cable, and a TCP client of a
// simulator whose virtual port nobody reads still sees every burst.
class Transmitter {
 public:
  // With each burst the port took: the front end shows it (output log, labels,
  // sliders).
  std::function<void(const std::string& burst)> onTransmitted;
  // UDP failures never stop a transmission; a front end may note them here.
  std::function<void(const std::exception& error)> onUdpError;

  // The UDP target a front end switches on and off; null when off.
  void setUdp(UdpSender* udp) { udp_ = udp; }
  UdpSender* udp() const { return udp_; }
  // Further targets, each receiving the same burst as the UDP target above.
  // They must outlive the transmitter.
  void addUdp(UdpSender& udp) { moreUdp_.push_back(&udp); }
  void addTcp(TcpServer& tcp) { tcp_.push_back(&tcp); }

 protected:
  // `udp` may be null (UDP off); it must outlive the transmitter.
  explicit Transmitter(UdpSender* udp) : udp_(udp) {}

  // Writes the burst to the generator's port, sends one burst, built once, to
  // every network target, and reports the burst when the port took bytes
  // (built anew for that, so only the time fields can differ). Returns the
  // bytes the port took.
  int transmit(generator::TTarnNMEAGenerator& generator);

 private:
  void sendUdp(UdpSender& udp, const std::string& burst);

  UdpSender* udp_;
  std::vector<UdpSender*> moreUdp_;
  std::vector<TcpServer*> tcp_;
};

}  // namespace waymock
