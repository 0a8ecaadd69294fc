#pragma once

#include <exception>
#include <functional>
#include <string>

namespace waymock {

class UdpSender;

namespace generator {
class TTarnNMEAGenerator;
}
namespace receiver {
class TTarnCustomGPSReceiver;
}

// Sends each fix a replay decodes the way the simulator sends its own: the
// front end calls relay() from the receiver's OnReceive.
class FileRelay {
 public:
  // `udp` may be null (UDP off); all three must outlive the relay.
  FileRelay(generator::TTarnNMEAGenerator& generator,
            const receiver::TTarnCustomGPSReceiver& receiver, UdpSender* udp = nullptr);

  // With each burst the port took, before the satellites are replaced: the
  // front end shows it (output log, labels, sliders).
  std::function<void(const std::string& burst)> onTransmitted;
  // UDP failures never stop the relay; a front end may note them here.
  std::function<void(const std::exception& error)> onUdpError;

  void setUdp(UdpSender* udp) { udp_ = udp; }
  UdpSender* udp() const { return udp_; }

  // Copies the receiver's fix into the generator through its validating
  // setters, writes the burst to the port, sends it by UDP when on, and only
  // when the port took bytes: reports the burst and replaces the generator's
  // satellites with the received ones. A value the generator rejects throws
  // its Error and the steps after it do not run. Returns the bytes written.
  int relay();

 private:
  void copyFix();
  void copySatellites();

  generator::TTarnNMEAGenerator& generator_;
  const receiver::TTarnCustomGPSReceiver& receiver_;
  UdpSender* udp_;
};

}  // namespace waymock
