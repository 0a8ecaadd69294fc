#include "engine/transmitter.h"

#include <memory>

#include "generator/nmea_generator.h"
#include "platform/tcp_server.h"
#include "platform/udp_sender.h"

namespace waymock {

int Transmitter::transmit(generator::TTarnNMEAGenerator& generator) {
  const int written = generator.WriteSentences();
  if (udp_ != nullptr || !moreUdp_.empty() || !tcp_.empty()) {
    const auto burst = std::make_shared<const std::string>(generator.GetSentences());
    if (udp_ != nullptr) sendUdp(*udp_, *burst);
    for (UdpSender* udp : moreUdp_) sendUdp(*udp, *burst);
    for (TcpServer* tcp : tcp_) tcp->send(burst);
  }
  if (written > 0 && onTransmitted) onTransmitted(generator.GetSentences());
  return written;
}

void Transmitter::sendUdp(UdpSender& udp, const std::string& burst) {
  try {
    udp.send(burst);
  } catch (const std::exception& e) {
    if (onUdpError) onUdpError(e);
  }
}

}  // namespace waymock
