#pragma once

#include <cstddef>
#include <functional>
#include <string>

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
//
// The satellites of every constellation a modern log reports (GP, GL, GA and
// GB GSV) go into the generator's tables of their systems, which the nmea41
// profile sends. Real receivers' logs hold values the generator cannot take:
// satellites it has no slot for (SBAS PRNs above 32) and placeholder positions
// written while there was no fix. Such a satellite is left out of the copy; a fix the
// generator rejects is not sent at all (nothing is invented), the generator
// keeps the last good fix, and the replay goes on with the next burst.
class FileRelay : public Transmitter {
 public:
  // `udp` may be null (UDP off); all three must outlive the relay. The port
  // is written first, in the relay (PortWrite::inTick), so a replay at full
  // speed gives it every burst.
  FileRelay(generator::TTarnNMEAGenerator& generator,
            const receiver::TTarnCustomGPSReceiver& receiver, UdpSender* udp = nullptr);

  // The first burst of a replay that is skipped: the generator's message and
  // the value it rejected ("Heading 360"). A front end writes it to its error
  // log or says it once; later skips only count.
  std::function<void(const std::string& message, const std::string& value)> onFirstSkipped;

  // Copies the receiver's fix into the generator through its validating
  // setters, writes the burst to the port, sends it to every network target, and only
  // when the port took bytes: reports the burst and replaces the generator's
  // satellites with the received ones it can hold. Returns the bytes written;
  // 0 for a skipped burst.
  int relay();

  // Bursts skipped since the relay was made or startReplay was last called.
  std::size_t skippedBursts() const { return skipped_; }
  // A new replay begins: its first skipped burst is reported again.
  void startReplay() { skipped_ = 0; }

 private:
  bool copyFix();
  // The satellites go out with the next burst, not the one just sent.
  void portTook() override;

  generator::TTarnNMEAGenerator& generator_;
  const receiver::TTarnCustomGPSReceiver& receiver_;
  std::size_t skipped_ = 0;
};

}  // namespace waymock
