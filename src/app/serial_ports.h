#pragma once

#include <QStringList>
#include <memory>

#include "platform/serial.h"

namespace waymock::app {

// The generator's port opener: the built-in virtual port while it exists, the
// system's devices for every other name.
class SerialPorts : public SerialPortOpener {
 public:
  std::unique_ptr<SerialDevice> open(const std::string& name, int baudRate) override;
  void setVirtual(std::shared_ptr<SerialPortOpener> opener) { virtual_ = std::move(opener); }

  // The device paths of the system's serial ports, in the order it lists them.
  static QStringList systemPortNames();

 private:
  std::shared_ptr<SerialPortOpener> system_ = systemSerialPorts();
  std::shared_ptr<SerialPortOpener> virtual_;
};

}  // namespace waymock::app
