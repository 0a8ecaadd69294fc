#include <algorithm>
#include <thread>

#include "generator/nmea_generator.h"
#include "support/error.h"

namespace waymock::generator {

std::chrono::milliseconds TTarnNMEAGenerator::writeTimeout(std::size_t bytes) {
  return std::chrono::milliseconds(100 + 3 * static_cast<std::int64_t>(bytes));
}

// The serial device is released with the generator, without the closing wait
// of a slow line.
TTarnNMEAGenerator::~TTarnNMEAGenerator() {
  releasePort();
}

bool TTarnNMEAGenerator::OpenPort(const std::string& Port, int BaudRate) {
  releasePort();  // a plain close of the previous device, no purge
  portName_ = Port;
  baudRate_ = BaudRate;
  lastOpenError_.clear();
  // An empty name would be indistinguishable from "no port open".
  if (Port.empty() || !openNamedPort()) {
    portName_.clear();
    return false;
  }
  return true;
}

void TTarnNMEAGenerator::ClosePort() noexcept {
  if (port_) port_->purge();
  releasePort();
  portName_.clear();
}

bool TTarnNMEAGenerator::openNamedPort() noexcept {
  port_.reset();
  lastOpenError_.clear();
  if (!ports_) return false;
  try {
    port_ = ports_->open(portName_, baudRate_);
  } catch (const Error& e) {
    port_.reset();
    // The opener's errors say why in a sentence; nothing else does.
    try {
      lastOpenError_ = e.what();
    } catch (...) {
      lastOpenError_.clear();
    }
  } catch (...) {
    port_.reset();
  }
  return port_ != nullptr;
}

void TTarnNMEAGenerator::releasePort() noexcept {
  if (!port_) return;
  // Closing a tty waits until its output is sent, which at 110 bit/s can take
  // the driver's whole closing wait (30 s). Give the line as long as a write of
  // what is pending may take, at most a second, and drop the rest.
  constexpr std::chrono::milliseconds kMaxDrain(1000);
  const std::size_t pending = port_->pendingOutput();
  if (pending > 0) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::min(writeTimeout(pending), kMaxDrain);
    while (port_->pendingOutput() > 0 && Clock::now() < deadline) {
      std::this_thread::sleep_for(
          std::min<Clock::duration>(std::chrono::milliseconds(10), deadline - Clock::now()));
    }
    if (port_->pendingOutput() > 0) port_->discardOutput();
  }
  port_.reset();
}

int TTarnNMEAGenerator::WriteSentences() {
  if (portName_.empty()) return 0;
  try {
    std::string burst;
    burst.reserve(1024);
    appendSentences(burst);
    return writeBurst(burst);
  } catch (...) {
    return 0;
  }
}

int TTarnNMEAGenerator::writeBurst(std::string_view burst) {
  if (portName_.empty() || burst.empty()) return 0;
  // A device that went away is opened again by its name, with the same
  // settings, until it is back (a cable plugged in again, a link renewed).
  if (!port_ && !openNamedPort()) return 0;
  try {
    const std::size_t written = port_->write(burst, writeTimeout(burst.size()));
    if (port_->lost()) releasePort();
    return static_cast<int>(written < burst.size() ? written : burst.size());
  } catch (...) {
    return 0;
  }
}

}  // namespace waymock::generator
