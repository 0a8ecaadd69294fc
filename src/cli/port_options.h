#pragma once

// The output options shared by the subcommands that transmit (run, replay):
//
//   -p, --port DEVICE  a serial device, opened exclusively (e.g. /dev/ttyUSB0)
//   --virtual[=PATH]  a virtual serial port: a pseudo-terminal reachable at PATH
//   --baud RATE       one of the listed rates, default 4800
//   -u, --udp HOST:PORT  also send each burst as one UDP datagram (repeatable)
//   --tcp [HOST:]PORT also serve each burst to TCP clients (repeatable); the
//                     host defaults to 127.0.0.1, 0.0.0.0 serves every interface;
//                     port 0 lets the system pick one, which standard error names;
//                     IPv6 hosts in brackets ([::1]:10110) here and for --udp
//   --tcp-max-clients N  clients served per --tcp address, default 4096
//   --multicast-ttl N    routers a datagram to a multicast --udp group may cross, default 1
//   --multicast-if NAME  the interface that sends to multicast --udp groups
//   --nmea-socket[=PATH] also serve each burst to readers of a Unix socket
//   --announce           announce each --tcp server over DNS-SD (_nmea-0183._tcp)
//
// The addresses are read while the options are parsed; a malformed one, or a
// target given twice (which would be served twice), throws Error from the
// parse.
//
// With neither --port nor --virtual the virtual port at its default path is
// used, and standard error says so. Typical use in a subcommand:
//
//   PortOptions ports;                       // before parsing
//   addPortOptions(*command, ports);
//   ...                                      // in the action, after parsing:
//   PortTargets targets(ports);              // opens nothing yet
//   TTarnNMEAGenerator generator(clock, targets.opener());
//   applyFixOptions(...);                    // bad values fail before any port exists
//   targets.open(generator);                 // TCP listening, port opened
//   Simulation simulation(generator, nullptr, Transmitter::PortWrite::onThread);
//   targets.attach(simulation);              // UDP and TCP targets
//   simulation.onUdpError = targets.udpWarning();
//   ...                                      // now and then: targets.reportRefusedClients()
//   simulation.waitForWrite();
//   targets.close(generator);                // port purged and closed, link removed

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/host_port.h"
#include "platform/udp_sender.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace waymock {
class NmeaSocketServer;
class SerialPortOpener;
class ServiceAnnouncer;
class SerialPorts;
class TcpServer;
class Transmitter;
class VirtualSerialPort;
namespace generator {
class TTarnNMEAGenerator;
}
}  // namespace waymock

namespace waymock::cli {

struct PortOptions {
  std::string port;           // --port; empty when not given
  std::string virtualPath;    // --virtual; empty when not given
  int baud = 4800;            // --baud
  std::vector<HostPort> udp;  // --udp HOST:PORT, each
  std::vector<HostPort> tcp;  // --tcp [HOST:]PORT, each; port 0: the system picks one
  std::size_t tcpMaxClients = 4096;
  MulticastOptions multicast;  // --multicast-ttl, --multicast-if
  bool nmeaSocket = false;     // --nmea-socket, at nmeaSocketPath (empty: the default)
  std::string nmeaSocketPath;
  bool announce = false;  // --announce
};

void addPortOptions(CLI::App& command, PortOptions& options);

// `--virtual` alone means the default path, and the parser cannot tell it from
// `--virtual=`, which would silently mean the same: that one is refused here,
// before parsing (a CLI::ValidationError). So is `--nmea-socket=`.
void refuseEmptyVirtualPath(int argc, const char* const* argv);

class PortTargets {
 public:
  explicit PortTargets(const PortOptions& options);
  ~PortTargets();
  PortTargets(const PortTargets&) = delete;
  PortTargets& operator=(const PortTargets&) = delete;

  // For the generator's constructor: opens the virtual port under its path and
  // every other name as a real serial device.
  std::shared_ptr<SerialPortOpener> opener() const;

  // Listens on each --tcp address (IoError when one is in use), creates the
  // virtual port when one is wanted (IoError when its path is taken) and opens the port in the
  // generator (RuntimeFailure "Cannot connect to NAME." followed by the reason, when it cannot
  // be opened). Notes on standard error where a client finds the data, with the
  // port the system picked for a --tcp port 0.
  void open(generator::TTarnNMEAGenerator& generator);
  // Closes the port in the generator and removes the virtual port. Never throws.
  void close(generator::TTarnNMEAGenerator& generator) noexcept;

  // The name given to OpenPort: the device or the virtual port's path.
  const std::string& portName() const { return portName_; }
  // True when the port is the virtual one rather than a real serial device.
  bool virtualPort() const { return useVirtual_; }
  // Makes every --udp and --tcp target a target of the transmitter.
  void attach(Transmitter& transmitter) const;
  // Reports the first failure of each UDP target on standard error, naming
  // it, and keeps quiet about that target after it.
  std::function<void(const UdpSender&, const std::exception&)> udpWarning();
  // Says once per TCP address (and for the NMEA socket), on standard error,
  // that it refuses clients and why. Cheap enough to call on every tick.
  void reportRefusedClients();
  // Says on standard error when a DNS-SD announcement is made or fails.
  // Cheap enough to call on every tick.
  void reportAnnouncements();

 private:
  PortOptions options_;
  std::string portName_;
  bool useVirtual_ = false;
  std::shared_ptr<SerialPorts> opener_;
  std::unique_ptr<VirtualSerialPort> virtualPort_;
  std::vector<std::unique_ptr<UdpSender>> udp_;
  std::vector<std::unique_ptr<TcpServer>> tcp_;
  std::unique_ptr<NmeaSocketServer> nmeaSocket_;
  std::vector<bool> refusalReported_;  // per server: the TCP ones, then the socket's
  std::vector<std::unique_ptr<ServiceAnnouncer>> announcers_;
  std::vector<std::string> announcementsReported_;
};

// Makes a whole-number option read its text as decimal only, with leading
// zeros allowed; returns the option.
CLI::Option* decimalOnly(CLI::Option* option);

}  // namespace waymock::cli
