#include "app/serial_ports.h"

#include <QSerialPortInfo>

namespace waymock::app {

std::unique_ptr<SerialDevice> SerialPorts::open(const std::string& name, int baudRate) {
  // The virtual port's opener hands every other name on to the system's.
  return virtual_ ? virtual_->open(name, baudRate) : system_->open(name, baudRate);
}

QStringList SerialPorts::systemPortNames() {
  QStringList names;
  for (const auto& info : QSerialPortInfo::availablePorts()) names << info.systemLocation();
  return names;
}

}  // namespace waymock::app
