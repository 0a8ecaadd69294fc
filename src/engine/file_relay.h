#pragma once

#include "engine/transmitter.h"

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
class FileRelay : public Transmitter {
 public:
  // `udp` may be null (UDP off); all three must outlive the relay.
  FileRelay(generator::TTarnNMEAGenerator& generator,
            const receiver::TTarnCustomGPSReceiver& receiver, UdpSender* udp = nullptr);

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
};

}  // namespace waymock
