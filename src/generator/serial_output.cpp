#include "generator/nmea_generator.h"

namespace waymock::generator {

std::chrono::milliseconds TTarnNMEAGenerator::writeTimeout(std::size_t bytes) {
  return std::chrono::milliseconds(100 + 3 * static_cast<std::int64_t>(bytes));
}

bool TTarnNMEAGenerator::OpenPort(const std::string& Port, int BaudRate) {
  port_.reset();  // a plain close of the previous device, no purge
  portName_ = Port;
  std::unique_ptr<SerialDevice> device;
  // An empty name would be indistinguishable from "no port open".
  if (!Port.empty() && ports_) {
    try {
      device = ports_->open(Port, BaudRate);
    } catch (...) {
      device.reset();
    }
  }
  if (!device) {
    portName_.clear();
    return false;
  }
  port_ = std::move(device);
  return true;
}

void TTarnNMEAGenerator::ClosePort() noexcept {
  if (port_) port_->purge();
  port_.reset();
  portName_.clear();
}

int TTarnNMEAGenerator::WriteSentences() {
  if (portName_.empty() || !port_) return 0;
  try {
    std::string burst;
    burst.reserve(1024);
    appendSentences(burst);
    if (burst.empty()) return 0;
    const std::size_t written = port_->write(burst, writeTimeout(burst.size()));
    return static_cast<int>(written < burst.size() ? written : burst.size());
  } catch (...) {
    return 0;
  }
}

}  // namespace waymock::generator
