#include "engine/transmitter.h"

#include "engine/burst_filter.h"
#include "engine/serial_writer.h"
#include "generator/nmea_generator.h"
#include "platform/tcp_server.h"
#include "platform/udp_sender.h"

namespace waymock {

Transmitter::Transmitter(UdpSender* udp, PortWrite portWrite) : udp_(udp), portWrite_(portWrite) {}

Transmitter::~Transmitter() = default;

int Transmitter::transmit(generator::TTarnNMEAGenerator& generator) {
  if (filter_ != nullptr) return transmitFiltered(generator);
  if (portWrite_ == PortWrite::onThread) {
    const auto burst = std::make_shared<const std::string>(generator.GetSentences());
    sendToNetwork(burst);
    if (!writer_) writer_ = std::make_unique<SerialWriter>(generator);
    writer_->start(burst);
    return 0;
  }
  const int written = generator.WriteSentences();
  if (udp_ != nullptr || !moreUdp_.empty() || !tcp_.empty()) {
    sendToNetwork(std::make_shared<const std::string>(generator.GetSentences()));
  }
  if (written > 0) {
    if (onTransmitted) onTransmitted(generator.GetSentences());
    portTook();
  }
  return written;
}

int Transmitter::transmitFiltered(generator::TTarnNMEAGenerator& generator) {
  filter_->beforeBurst();
  std::string text = generator.GetSentences();
  const bool built = !text.empty();
  filter_->filter(text);
  if (text.empty()) {
    // Held back on purpose (a dropout): time goes on for the fix all the same.
    if (built) {
      if (onHeldBack) onHeldBack();
      portTook();
    }
    return 0;
  }
  const auto burst = std::make_shared<const std::string>(std::move(text));
  if (portWrite_ == PortWrite::onThread) {
    sendToNetwork(burst);
    if (!writer_) writer_ = std::make_unique<SerialWriter>(generator);
    writer_->start(burst);
    return 0;
  }
  const int written = generator.writeBurst(*burst);
  sendToNetwork(burst);
  if (written > 0) {
    if (onTransmitted) onTransmitted(*burst);
    portTook();
  }
  return written;
}

std::optional<int> Transmitter::collectWrite() {
  if (!writer_) return std::nullopt;
  const std::optional<SerialWriter::Result> result = writer_->take();
  if (!result) return std::nullopt;
  if (result->bytes > 0) {
    if (onTransmitted) onTransmitted(*result->burst);
    portTook();
  }
  return result->bytes;
}

int Transmitter::writeEndedFd() const {
  return writer_ ? writer_->endedFd() : -1;
}

void Transmitter::waitForWrite() {
  if (writer_) writer_->wait();
}

void Transmitter::sendToNetwork(const std::shared_ptr<const std::string>& burst) {
  if (udp_ != nullptr) sendUdp(*udp_, *burst);
  for (UdpSender* udp : moreUdp_) sendUdp(*udp, *burst);
  for (TcpServer* tcp : tcp_) tcp->send(burst);
}

void Transmitter::sendUdp(UdpSender& udp, const std::string& burst) {
  try {
    udp.send(burst);
  } catch (const std::exception& e) {
    if (onUdpError) onUdpError(udp, e);
  }
}

}  // namespace waymock
