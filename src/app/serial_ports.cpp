#include "app/serial_ports.h"

#include <QSerialPortInfo>

namespace waymock::app {

QStringList systemPortNames() {
  QStringList names;
  for (const auto& info : QSerialPortInfo::availablePorts()) names << info.systemLocation();
  return names;
}

}  // namespace waymock::app
