// Placeholder until the termios implementation lands: no device can be opened.
#include "platform/serial.h"

namespace waymock {

namespace {
class NoSerialPorts final : public SerialPortOpener {
 public:
  std::unique_ptr<SerialDevice> open(const std::string&, int) override { return nullptr; }
};
}  // namespace

std::shared_ptr<SerialPortOpener> systemSerialPorts() {
  static const auto ports = std::make_shared<NoSerialPorts>();
  return ports;
}

}  // namespace waymock
