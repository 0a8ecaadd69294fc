#include "cli/port_options.h"

#include <net/if.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <iostream>
#include <vector>

#include "cli/commands.h"
#include "engine/transmitter.h"
#include "generator/nmea_generator.h"
#include "platform/host_port.h"
#include "platform/nmea_socket.h"
#include "platform/serial.h"
#include "platform/service_announcer.h"
#include "platform/socket_address.h"
#include "platform/tcp_server.h"
#include "platform/udp_sender.h"
#include "platform/virtual_serial_port.h"
#include "support/error.h"
#include "support/shown_text.h"

namespace waymock::cli {

namespace {

// How an option reads an address: --udp names a host to send to, --tcp one of
// this machine's to listen on, where port 0 lets the system pick.
constexpr HostPortForm kUdpTarget{"--udp", "", 1};
constexpr HostPortForm kTcpAddress{"--tcp", "127.0.0.1", 0};

// A repeatable address option, read into `addresses` as the command line is
// parsed.
CLI::Option* addAddresses(CLI::App& command, const std::string& names,
                          std::vector<HostPort>& addresses, const HostPortForm& form,
                          const std::string& help) {
  return command
      .add_option_function<std::vector<std::string>>(
          names,
          [&addresses, &form](const std::vector<std::string>& texts) {
            addresses.clear();
            for (const std::string& text : texts) {
              HostPort address = parseHostPort(text, form);
              refuseTwice(addresses, address, form);
              addresses.push_back(std::move(address));
            }
          },
          help)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

}  // namespace

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
    for (const char* option : {"--virtual", "--nmea-socket"}) {
      if (std::string_view(argv[i]) == std::string(option) + "=")
        throw CLI::ValidationError(option, notEmpty(""));
    }
  }
}

void addPortOptions(CLI::App& command, PortOptions& o) {
  const std::string previousGroup = command.option_defaults()->get_group();
  command.option_defaults()->group("Output");
  auto* port =
      command.add_option("-p,--port", o.port, "Serial device to write to, e.g. /dev/ttyUSB0")
          ->type_name("DEVICE")
          ->check(notEmpty);
  // A flag whose value, if any, comes after "=" (GNU's optional values): the
  // word after a bare --virtual stays an argument of its own.
  command
      .add_flag("--virtual{}", o.virtualPath,
                "Create a virtual serial port: a pseudo-terminal that clients open like a serial "
                "device, linked at PATH when given as --virtual=PATH, else at " +
                    VirtualSerialPort::defaultPath() + " (also used when --port is not given)")
      ->type_name("PATH")
      ->excludes(port);
  std::vector<int> rates(kSerialBaudRates.begin(), kSerialBaudRates.end());
  rates.insert(rates.end(), kFastSerialBaudRates.begin(), kFastSerialBaudRates.end());
  std::sort(rates.begin(), rates.end());
  decimalOnly(command.add_option("--baud", o.baud, "Bit rate of the serial device (default 4800)")
                  ->type_name("RATE")
                  ->check(CLI::IsMember(rates)));
  addAddresses(command, "-u,--udp", o.udp, kUdpTarget,
               "Also send each burst as one UDP datagram to HOST:PORT (an IPv6 address in "
               "brackets, e.g. [::1]:10110); may be given several times")
      ->type_name("HOST:PORT");
  auto* tcp =
      addAddresses(command, "--tcp", o.tcp, kTcpAddress,
                   "Also serve each burst to every TCP client connected to [HOST:]PORT (host "
                   "127.0.0.1 unless given; 0.0.0.0 serves all interfaces, [::1] is IPv6 "
                   "loopback; port 0 lets the system pick one, named on standard error); may be "
                   "given several times")
          ->type_name("[HOST:]PORT");
  decimalOnly(command
                  .add_option("--tcp-max-clients", o.tcpMaxClients,
                              "Clients served at once per --tcp address and on the NMEA "
                              "socket; more are refused "
                              "(default 4096, fewer when the limit of open files, ulimit -n, "
                              "allows fewer)")
                  ->type_name("N")
                  ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 20)));
  decimalOnly(command
                  .add_option("--multicast-ttl", o.multicast.hops,
                              "Routers a datagram to a multicast --udp group (224.0.0.0/4, "
                              "ff00::/8) may cross: its TTL or hop limit (default 1, the local "
                              "network only)")
                  ->type_name("N")
                  ->check(CLI::Range(0, 255)));
  command
      .add_option("--multicast-if", o.multicast.interfaceName,
                  "The network interface that sends to multicast --udp groups (default: the "
                  "one the routing table picks)")
      ->type_name("NAME")
      ->check([](const std::string& name) -> std::string {
        if (!name.empty() && if_nametoindex(name.c_str()) != 0) return {};
        return "no network interface is called \"" + shownText(name) + "\"";
      });
  command
      .add_flag("--nmea-socket{}", o.nmeaSocketPath,
                "Also serve each burst to every reader of a Unix socket (GeoClue's nmea-socket), "
                "at PATH when given as --nmea-socket=PATH, else at " +
                    NmeaSocketServer::defaultPath())
      ->type_name("PATH")
      ->each([&o](const std::string&) { o.nmeaSocket = true; });
  command
      .add_flag("--announce", o.announce,
                std::string("Announce each --tcp server over DNS-SD as _nmea-0183._tcp, named "
                            "after the host, through the Avahi daemon") +
                    (ServiceAnnouncer::builtIn()
                         ? ""
                         : " (not built in: this build was made without libavahi-client)"))
      ->needs(tcp);
  command.option_defaults()->group(previousGroup);
}

PortTargets::PortTargets(const PortOptions& options)
    : options_(options), opener_(std::make_shared<SerialPorts>()) {
  for (const HostPort& target : options_.udp) {
    udp_.push_back(
        std::make_unique<UdpSender>(target.host, target.port, nullptr, options_.multicast));
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
  for (const HostPort& address : options_.tcp) {
    const TcpServer& server =
        *tcp_.emplace_back(std::make_unique<TcpServer>(address.host, address.port, limits));
    refusalReported_.push_back(false);
    std::cerr << "waymock-cli: TCP clients connect to "
              << hostPortText(server.host(), server.port()) << '\n';
    if (options_.announce) {
      announcers_.push_back(std::make_unique<ServiceAnnouncer>(server.host(), server.port()));
      announcementsReported_.emplace_back();
    }
  }
  if (options_.nmeaSocket) {
    nmeaSocket_ = std::make_unique<NmeaSocketServer>(
        options_.nmeaSocketPath.empty() ? NmeaSocketServer::defaultPath() : options_.nmeaSocketPath,
        limits);
    refusalReported_.push_back(false);
    std::cerr << "waymock-cli: NMEA readers connect to " << nmeaSocket_->path() << '\n';
  }
  if (useVirtual_) {
    if (options_.virtualPath.empty()) {
      std::cerr << "waymock-cli: using the virtual serial port at its default path " << portName_
                << '\n';
    }
    virtualPort_ = std::make_unique<VirtualSerialPort>(portName_);
    opener_->setVirtual(virtualPort_.get());
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
  opener_->setVirtual(nullptr);
  virtualPort_.reset();
  announcers_.clear();
  tcp_.clear();
  nmeaSocket_.reset();
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
  if (nmeaSocket_) transmitter.addTcp(nmeaSocket_->server());
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
  for (std::size_t i = 0; i < refusalReported_.size(); ++i) {
    const bool socket = i == tcp_.size();
    const TcpServer& server = socket ? nmeaSocket_->server() : *tcp_[i];
    if (refusalReported_[i] || server.refusedClients() == 0) continue;
    refusalReported_[i] = true;
    std::cerr << "waymock-cli: "
              << (socket ? "NMEA socket " + server.host()
                         : "TCP " + hostPortText(server.host(), server.port()))
              << ": ";
    if (server.firstRefusal() == TcpServer::Refusal::maxClients) {
      std::cerr << options_.tcpMaxClients
                << " clients, the most --tcp-max-clients allows; further clients are refused.\n";
    } else {
      std::cerr << "the process is near its limit of " << TcpServer::descriptorLimit()
                << " open files (ulimit -n); further clients are refused until some leave.\n";
    }
  }
}

void PortTargets::reportAnnouncements() {
  for (std::size_t i = 0; i < announcers_.size(); ++i) {
    const ServiceAnnouncer::Status status = announcers_[i]->status();
    // Waiting without a reason: Avahi has not answered yet, which takes a moment.
    if (status.state == ServiceAnnouncer::State::waiting && status.reason.empty()) continue;
    const std::string text = status.state == ServiceAnnouncer::State::announced
                                 ? "announced over DNS-SD as \"" + status.name + "\" (" +
                                       ServiceAnnouncer::kServiceType + ")."
                             : status.state == ServiceAnnouncer::State::failed
                                 ? "not announced over DNS-SD: " + status.reason + "."
                                 : "waits to be announced over DNS-SD: " + status.reason + ".";
    if (text == announcementsReported_[i]) continue;
    announcementsReported_[i] = text;
    std::cerr << "waymock-cli: TCP " << hostPortText(tcp_[i]->host(), tcp_[i]->port()) << " "
              << text << '\n';
  }
}

}  // namespace waymock::cli
