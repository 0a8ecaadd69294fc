#include "engine/transmitter.h"

#include "generator/nmea_generator.h"
#include "platform/udp_sender.h"

namespace waymock {

int Transmitter::transmit(generator::TTarnNMEAGenerator& generator) {
  const int written = generator.WriteSentences();
  if (udp_ != nullptr) {
    try {
      udp_->send(generator.GetSentences());
    } catch (const std::exception& e) {
      if (onUdpError) onUdpError(e);
    }
  }
  if (written > 0 && onTransmitted) onTransmitted(generator.GetSentences());
  return written;
}

}  // namespace waymock
