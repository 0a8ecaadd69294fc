#pragma once

#include <exception>
#include <functional>
#include <string>

namespace waymock {

class UdpSender;

namespace generator {
class TTarnNMEAGenerator;
}

// The output steps that the simulator tick and a replayed fix share: the burst
// to the port, a copy by UDP whatever the port did, and the burst reported to
// the front end only when the port took bytes.
class Transmitter {
 public:
  // With each burst the port took: the front end shows it (output log, labels,
  // sliders).
  std::function<void(const std::string& burst)> onTransmitted;
  // UDP failures never stop a transmission; a front end may note them here.
  std::function<void(const std::exception& error)> onUdpError;

  void setUdp(UdpSender* udp) { udp_ = udp; }
  UdpSender* udp() const { return udp_; }

 protected:
  // `udp` may be null (UDP off); it must outlive the transmitter.
  explicit Transmitter(UdpSender* udp) : udp_(udp) {}

  // Writes the burst to the generator's port, sends it by UDP when on (each
  // use builds it anew, so only the time fields can differ), and reports it
  // when the port took bytes. Returns the bytes the port took.
  int transmit(generator::TTarnNMEAGenerator& generator);

 private:
  UdpSender* udp_;
};

}  // namespace waymock
