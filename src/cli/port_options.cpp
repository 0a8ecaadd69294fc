#include "cli/port_options.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <vector>

#include "cli/commands.h"
#include "generator/nmea_generator.h"
#include "platform/serial.h"
#include "platform/udp_sender.h"
#include "platform/virtual_serial_port.h"
#include "support/error.h"

namespace waymock::cli {

// Forwards to the virtual port once it exists, and to the system's serial
// devices otherwise; the generator gets it before the port is created.
class PortTargets::Opener final : public SerialPortOpener {
 public:
  std::unique_ptr<SerialDevice> open(const std::string& name, int baudRate) override {
    return target ? target->open(name, baudRate) : systemSerialPorts()->open(name, baudRate);
  }
  std::shared_ptr<SerialPortOpener> target;
};

void parseHostPort(const std::string& text, std::string& host, int& port) {
  const auto malformed = [&] {
    raise("--udp: \"" + text + "\" is not HOST:PORT with a port from 1 to 65535.");
  };
  const auto colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size() ||
      text.size() - colon - 1 > 5) {
    malformed();
  }
  int value = 0;
  for (std::size_t i = colon + 1; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') malformed();
    value = value * 10 + (text[i] - '0');
  }
  if (value < 1 || value > 65535) malformed();
  host = text.substr(0, colon);
  port = value;
}

void addPortOptions(CLI::App& command, PortOptions& o) {
  const auto group = "Output";
  auto* port = command.add_option("--port", o.port, "Serial device to write to, e.g. /dev/ttyUSB0")
                   ->group(group)
                   ->type_name("DEVICE");
  command
      .add_option("--virtual", o.virtualPath,
                  "Create a virtual serial port: a pseudo-terminal linked at PATH that clients "
                  "open like a serial device (default " +
                      VirtualSerialPort::defaultPath() +
                      " when --port is not given either)")
      ->group(group)
      ->type_name("PATH")
      ->excludes(port);
  std::vector<int> rates(kSerialBaudRates.begin(), kSerialBaudRates.end());
  command.add_option("--baud", o.baud, "Bit rate of the serial device (default 4800)")
      ->group(group)
      ->type_name("RATE")
      ->check(CLI::IsMember(rates));
  command.add_option("--udp", o.udp, "Also send each burst as one UDP datagram to HOST:PORT")
      ->group(group)
      ->type_name("HOST:PORT");
}

PortTargets::PortTargets(const PortOptions& options)
    : options_(options), opener_(std::make_shared<Opener>()) {
  if (!options_.udp.empty()) {
    std::string host;
    int port = 0;
    parseHostPort(options_.udp, host, port);
    udp_ = std::make_unique<UdpSender>(host, port);
  }
  useVirtual_ = options_.port.empty();
  portName_ = !options_.port.empty()          ? options_.port
              : !options_.virtualPath.empty() ? options_.virtualPath
                                              : VirtualSerialPort::defaultPath();
}

PortTargets::~PortTargets() = default;

std::shared_ptr<SerialPortOpener> PortTargets::opener() const {
  return opener_;
}

void PortTargets::open(generator::TTarnNMEAGenerator& generator) {
  if (useVirtual_) {
    if (options_.virtualPath.empty()) {
      std::cerr << "waymock-cli: neither --port nor --virtual given: using the virtual serial "
                   "port "
                << portName_ << '\n';
    }
    virtualPort_ = std::make_unique<VirtualSerialPort>(portName_);
    opener_->target = virtualPort_->opener();
    std::cerr << "waymock-cli: clients read the simulated receiver at " << portName_ << " ("
              << virtualPort_->deviceName() << ")\n";
  }
  if (!generator.OpenPort(portName_, options_.baud)) {
    throw RuntimeFailure("Cannot connect to " + portName_ + ".");
  }
}

void PortTargets::close(generator::TTarnNMEAGenerator& generator) noexcept {
  generator.ClosePort();
  opener_->target.reset();
  virtualPort_.reset();
}

std::function<void(const std::exception&)> PortTargets::udpWarning() {
  return [warned = false](const std::exception& e) mutable {
    if (warned) return;
    warned = true;
    std::cerr << "waymock-cli: UDP: " << e.what()
              << " The run goes on; further UDP errors are not shown.\n";
  };
}

}  // namespace waymock::cli
