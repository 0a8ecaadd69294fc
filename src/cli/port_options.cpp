#include "cli/port_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>
#include <vector>

#include "cli/commands.h"
#include "engine/transmitter.h"
#include "generator/nmea_generator.h"
#include "platform/serial.h"
#include "platform/socket_address.h"
#include "platform/tcp_server.h"
#include "platform/udp_sender.h"
#include "platform/virtual_serial_port.h"
#include "support/error.h"
#include "support/shown_text.h"

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

void parseHostPort(const std::string& given, std::string& host, int& port,
                   const std::string& option, const std::string& defaultHost) {
  const auto malformed = [&] {
    raise(option + ": \"" + shownText(given) + "\" is not " +
          (defaultHost.empty() ? "HOST:PORT" : "[HOST:]PORT") + " with a port from 1 to 65535.");
  };
  const bool bare = !defaultHost.empty() && given.find(':') == std::string::npos;
  const std::string text = bare ? defaultHost + ":" + given : given;
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
  // An IPv6 address has colons of its own, so it comes in brackets.
  if (host.starts_with('[') && host.ends_with(']') && host.size() > 2) {
    host = host.substr(1, host.size() - 2);
  } else if (host.find_first_of(":[]") != std::string::npos) {
    raise(option + ": \"" + shownText(given) + "\" is not " +
          (defaultHost.empty() ? "HOST:PORT" : "[HOST:]PORT") +
          "; an IPv6 host goes in brackets, as in [::1]:10110.");
  }
  port = value;
}

CLI::Option* decimalOnly(CLI::Option* option) {
  // CLI11 reads 010 as octal and 0x10 as hexadecimal; here every number is
  // decimal, and leading zeros (the baud list's 004800) are just zeros.
  return option->transform(CLI::Validator(
      [](std::string& text) -> std::string {
        const std::size_t sign = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
        if (text.size() == sign ||
            text.find_first_not_of("0123456789", sign) != std::string::npos) {
          return "\"" + shownText(text) + "\" is not a decimal whole number";
        }
        const std::size_t digits = std::min(text.find_first_not_of('0', sign), text.size() - 1);
        text = (text[0] == '-' ? "-" : "") + text.substr(digits);
        return {};
      },
      "", "decimal"));
}

namespace {

// An empty name would silently mean "not given", that is the default port.
std::string notEmpty(const std::string& text) {
  return text.empty() ? "must not be empty" : "";
}

}  // namespace

void refuseEmptyVirtualPath(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--virtual=")
      throw CLI::ValidationError("--virtual", notEmpty(""));
  }
}

void addPortOptions(CLI::App& command, PortOptions& o) {
  const auto group = "Output";
  auto* port =
      command.add_option("-p,--port", o.port, "Serial device to write to, e.g. /dev/ttyUSB0")
          ->group(group)
          ->type_name("DEVICE")
          ->check(notEmpty);
  // A flag whose value, if any, comes after "=" (GNU's optional values): the
  // word after a bare --virtual stays an argument of its own.
  command
      .add_flag("--virtual{}", o.virtualPath,
                "Create a virtual serial port: a pseudo-terminal that clients open like a serial "
                "device, linked at PATH when given as --virtual=PATH, else at " +
                    VirtualSerialPort::defaultPath() + " (also used when --port is not given)")
      ->group(group)
      ->type_name("PATH")
      ->excludes(port);
  std::vector<int> rates(kSerialBaudRates.begin(), kSerialBaudRates.end());
  rates.insert(rates.end(), kFastSerialBaudRates.begin(), kFastSerialBaudRates.end());
  std::sort(rates.begin(), rates.end());
  decimalOnly(command.add_option("--baud", o.baud, "Bit rate of the serial device (default 4800)")
                  ->group(group)
                  ->type_name("RATE")
                  ->check(CLI::IsMember(rates)));
  command
      .add_option("-u,--udp", o.udp,
                  "Also send each burst as one UDP datagram to HOST:PORT (an IPv6 address in "
                  "brackets, e.g. [::1]:10110); may be given several times")
      ->group(group)
      ->type_name("HOST:PORT")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  command
      .add_option("--tcp", o.tcp,
                  "Also serve each burst to every TCP client connected to [HOST:]PORT (host "
                  "127.0.0.1 unless given; 0.0.0.0 serves all interfaces, [::1] is IPv6 "
                  "loopback); may be given several times")
      ->group(group)
      ->type_name("[HOST:]PORT")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  decimalOnly(command
                  .add_option("--tcp-max-clients", o.tcpMaxClients,
                              "Clients served at once per --tcp address; more are refused "
                              "(default 4096, fewer when the limit of open files, ulimit -n, "
                              "allows fewer)")
                  ->group(group)
                  ->type_name("N")
                  ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 20)));
}

namespace {

// Each target once: a second --udp would send every burst twice, a second
// --tcp could not listen.
void refuseTwice(std::vector<std::string>& seen, const std::string& option, const std::string& host,
                 int port) {
  std::string target = hostPortText(host, port);
  for (char& c : target) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (std::find(seen.begin(), seen.end(), target) != seen.end()) {
    raise(option + ": " + hostPortText(shownText(host), port) + " is given twice.");
  }
  seen.push_back(std::move(target));
}

}  // namespace

PortTargets::PortTargets(const PortOptions& options)
    : options_(options), opener_(std::make_shared<Opener>()) {
  std::vector<std::string> seen;
  for (const std::string& text : options_.udp) {
    std::string host;
    int port = 0;
    parseHostPort(text, host, port);
    refuseTwice(seen, "--udp", host, port);
    udp_.push_back(std::make_unique<UdpSender>(host, port));
  }
  seen.clear();
  for (const std::string& text : options_.tcp) {
    std::string host;
    int port = 0;
    parseHostPort(text, host, port, "--tcp", "127.0.0.1");
    refuseTwice(seen, "--tcp", host, port);
    tcpAddresses_.emplace_back(host, port);
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
  // The host name is being looked up since the options were read; a name
  // server that answers at all answers well within this, so the first bursts
  // go out too. One that does not answer holds up the start, never a tick.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (const auto& udp : udp_) {
    udp->waitForAddress(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::max(deadline - std::chrono::steady_clock::now(), std::chrono::nanoseconds(0))));
  }
  // Every address is taken before anything is sent, so a port in use stops
  // the run before it begins.
  TcpServer::Limits limits;
  limits.maxClients = options_.tcpMaxClients;
  for (const auto& [host, port] : tcpAddresses_) {
    tcp_.push_back(std::make_unique<TcpServer>(host, port, limits));
    refusalReported_.push_back(false);
    std::cerr << "waymock-cli: TCP clients connect to " << hostPortText(host, port) << '\n';
  }
  if (useVirtual_) {
    if (options_.virtualPath.empty()) {
      std::cerr << "waymock-cli: using the virtual serial port at its default path " << portName_
                << '\n';
    }
    virtualPort_ = std::make_unique<VirtualSerialPort>(portName_);
    opener_->target = virtualPort_->opener();
    std::cerr << "waymock-cli: clients read the simulated receiver at " << portName_ << " ("
              << virtualPort_->deviceName() << ")\n";
  }
  if (!generator.OpenPort(portName_, options_.baud)) {
    const std::string& reason = generator.lastOpenError();
    throw RuntimeFailure("Cannot connect to " + portName_ + "." +
                         (reason.empty() ? "" : " " + reason));
  }
}

void PortTargets::close(generator::TTarnNMEAGenerator& generator) noexcept {
  generator.ClosePort();
  opener_->target.reset();
  virtualPort_.reset();
  tcp_.clear();
}

void PortTargets::attach(Transmitter& transmitter) const {
  for (std::size_t i = 0; i < udp_.size(); ++i) {
    if (i == 0) {
      transmitter.setUdp(udp_[i].get());
    } else {
      transmitter.addUdp(*udp_[i]);
    }
  }
  for (const auto& tcp : tcp_) transmitter.addTcp(*tcp);
}

std::function<void(const UdpSender&, const std::exception&)> PortTargets::udpWarning() {
  return [warned = std::vector<const UdpSender*>()](const UdpSender& target,
                                                    const std::exception& e) mutable {
    if (std::find(warned.begin(), warned.end(), &target) != warned.end()) return;
    warned.push_back(&target);
    std::cerr << "waymock-cli: UDP " << hostPortText(shownText(target.host()), target.port())
              << ": " << e.what()
              << " The run goes on; further errors of this target are not shown.\n";
  };
}

void PortTargets::reportRefusedClients() {
  for (std::size_t i = 0; i < tcp_.size(); ++i) {
    const TcpServer& server = *tcp_[i];
    if (refusalReported_[i] || server.refusedClients() == 0) continue;
    refusalReported_[i] = true;
    std::cerr << "waymock-cli: TCP " << hostPortText(server.host(), server.port()) << ": ";
    if (server.firstRefusal() == TcpServer::Refusal::maxClients) {
      std::cerr << options_.tcpMaxClients
                << " clients, the most --tcp-max-clients allows; further clients are refused.\n";
    } else {
      std::cerr << "the process is near its limit of " << TcpServer::descriptorLimit()
                << " open files (ulimit -n); further clients are refused until some leave.\n";
    }
  }
}

}  // namespace waymock::cli
